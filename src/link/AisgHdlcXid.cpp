#include <algorithm>
#include <cstring>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/TraceLog.h"
#include "layer7/Vocabulary.h"
#include "link/AisgHdlc.h"
#include "link/HdlcControl.h"
#include "link/XidParameters.h"

namespace {

constexpr uint8_t kBroadcast = 0xFF;
constexpr uint8_t kXid = HdlcControl::kXid;
constexpr uint8_t kFormatId = 0x81;
constexpr uint8_t kGroupId = 0xF0;

enum Pi : uint8_t {
  kPiUniqueId = 1,
  kPiAddress = 2,
  kPiMask = 3,
  kPiDeviceType = 4,
  kPiVendorCode = 6,
  kPiReset = 7,
  kPiScanVersion = 9,
  kPiProtocolVersion = 20,
};

bool ValidType(uint8_t v) {
  return v == kAldSingleRet || v == kAldTma || v == kAldMultiRet;
}
bool ValidVersion(uint8_t v) {
  return v == 1 || v == 2;
}
bool ValidUniqueIdLength(uint8_t pl) {
  return pl >= 2 && pl <= AldRecord::kUniqueIdMax;
}

std::vector<uint8_t> XidHeader(uint8_t address, size_t groupLength) {
  return {address, kXid, kFormatId, kGroupId, static_cast<uint8_t>(groupLength)};
}

void AppendParameter(std::vector<uint8_t>& out, uint8_t pi, const uint8_t* value, uint8_t length) {
  out.push_back(pi);
  out.push_back(length);
  out.insert(out.end(), value, value + length);
}

// Whole-value checks of one scan-answer parameter; false is a format error.
bool ScanParameterValid(const XidParameters::Parameter& p) {
  switch (p.Pi) {
    case kPiUniqueId: return ValidUniqueIdLength(p.Pl);
    case kPiAddress: return p.Pl == 1 && p.Value[0] != kBroadcast;
    case kPiDeviceType: return p.Pl == 1 && ValidType(p.Value[0]);
    case kPiVendorCode: return p.Pl == 2;
    case kPiScanVersion: return p.Pl == 1 && ValidVersion(p.Value[0]);
    default: return true;
  }
}

// The identifier received replaces the whole previous one: a shorter
// identifier must not inherit the tail of the one the record held before.
void StoreUniqueId(AldRecord& record, const XidParameters::Parameter& p) {
  std::memset(record.UniqueId, 0, sizeof record.UniqueId);
  std::memcpy(record.UniqueId, p.Value, p.Pl);
  record.UniqueIdLength = p.Pl;
}

}  // namespace

ResultCode AisgHdlc::FormatError(const char* parser, uint8_t aldNumber) {
  log_.Write(kTraceError, classTag_, aldNumber, "%s format error", parser);
  return kProtocolError;
}

ResultCode AisgHdlc::ResetRequest() {
  log_.Write(kTraceInfo, classTag_, 0, "Reset Request");
  std::vector<uint8_t> request = XidHeader(kBroadcast, 2);
  AppendParameter(request, kPiReset, nullptr, 0);
  uint8_t answer[kAnswerBuffer];
  uint16_t length = 0;
  return ExchangeFrame(request, answer, &length);
}

ResultCode AisgHdlc::XidScan(const uint8_t* pattern, const uint8_t* mask, uint8_t length, AldRecord* record) {
  std::vector<uint8_t> request = XidHeader(kBroadcast, 2u * length + 4);
  AppendParameter(request, kPiUniqueId, pattern, length);
  AppendParameter(request, kPiMask, mask, length);
  log_.Write(kTraceInfo, classTag_, 0, "XID scan request");
  uint8_t answer[kAnswerBuffer];
  uint16_t answerLength = 0;
  ResultCode result = ExchangeBroadcast(request, answer, &answerLength);
  if (result != kSuccess) return result;
  return ScanResponse(answer, answerLength, *record);
}

ResultCode AisgHdlc::ScanResponse(const uint8_t* answer, uint16_t length, AldRecord& record) {
  static const char* const kParser = "AisgHdlc::ScanResponse";
  XidParameters params(answer, length);
  if (!params.HeaderValid()) return FormatError(kParser, 0);
  bool uniqueIdSeen = false;
  XidParameters::Parameter p{};
  while (params.Next(p)) {
    if (!ScanParameterValid(p)) return FormatError(kParser, 0);
    switch (p.Pi) {
      case kPiUniqueId:
        StoreUniqueId(record, p);
        uniqueIdSeen = true;
        break;
      case kPiAddress: break;
      case kPiDeviceType: record.DeviceType = p.Value[0]; break;
      case kPiVendorCode: std::memcpy(record.VendorCode, p.Value, 2); break;
      case kPiScanVersion: record.AisgVersion = p.Value[0]; break;
      default: FormatError(kParser, 0); break;
    }
  }
  if (params.Malformed() || !uniqueIdSeen) return FormatError(kParser, 0);
  log_.Write(kTraceInfo, classTag_, 0, "Received ALD Vendor: %.2s, UniqueId: %.19s, Type: %s", record.VendorCode,
             record.UniqueId, Vocabulary::AldTypeText(record.DeviceType).c_str());
  return kSuccess;
}

ResultCode AisgHdlc::AssignAddress(uint8_t slot) {
  AldRecord& ald = alds_.Record(slot);
  uint8_t n = std::min<uint8_t>(ald.UniqueIdLength, AldRecord::kUniqueIdMax);
  if (n == 0) {
    log_.Write(kTraceError, classTag_, slot, "Invalid ALD unique id");
    return kSoftwareError;
  }
  std::vector<uint8_t> request = XidHeader(kBroadcast, n + 5u);
  AppendParameter(request, kPiUniqueId, reinterpret_cast<const uint8_t*>(ald.UniqueId), n);
  AppendParameter(request, kPiAddress, &slot, 1);
  log_.Write(kTraceInfo, classTag_, slot, "Assign Address Request");
  uint8_t answer[kAnswerBuffer];
  uint16_t length = 0;
  ResultCode result = ExchangeFrame(request, answer, &length);
  if (result != kSuccess) return result;
  bool namesAld = false;
  result = AssignAddressResponse(slot, answer, length, &namesAld);
  if (!namesAld) return result;
  ald.Address = slot;
  ald.State = kStateAddressed;
  return result;
}

// The ALD has taken the address only when the answer names the identifier
// that was assigned: on a bus of several devices any other answer is
// somebody else's. Parameters and groups that are not asked for are passed
// over.
ResultCode AisgHdlc::AssignAddressResponse(uint8_t slot, const uint8_t* answer, uint16_t length, bool* namesAld) {
  static const char* const kParser = "AisgHdlc::AssignAddressResponse";
  *namesAld = false;
  XidParameters params(answer, length);
  if (!params.HeaderValid()) return FormatError(kParser, slot);
  const AldRecord& ald = alds_.Record(slot);
  uint8_t assigned = std::min<uint8_t>(ald.UniqueIdLength, AldRecord::kUniqueIdMax);
  bool uniqueIdSeen = false;
  bool typeSeen = false;
  XidParameters::Parameter p{};
  while (params.Next(p)) {
    bool valid = true;
    switch (p.Pi) {
      case kPiUniqueId:
        valid = uniqueIdSeen = ValidUniqueIdLength(p.Pl);
        *namesAld = valid && p.Pl == assigned && std::memcmp(p.Value, ald.UniqueId, p.Pl) == 0;
        if (valid && !*namesAld) {
          log_.Write(kTraceError, classTag_, slot, "Address assignment answered by %.*s, not by the ALD assigned",
                     static_cast<int>(p.Pl), reinterpret_cast<const char*>(p.Value));
          return kProtocolError;
        }
        break;
      case kPiDeviceType: valid = typeSeen = p.Pl == 1 && ValidType(p.Value[0]); break;
      case kPiVendorCode: valid = p.Pl == 2; break;
      default: FormatError(kParser, slot); break;
    }
    if (!valid) return FormatError(kParser, slot);
  }
  if (params.Malformed()) *namesAld = false;
  if (params.Malformed() || !uniqueIdSeen || !typeSeen) return FormatError(kParser, slot);
  return kSuccess;
}

ResultCode AisgHdlc::ProtocolVersion(uint8_t address) {
  log_.Write(kTraceInfo, classTag_, address, "Protocol Version Request");
  const uint8_t offered = 2;
  std::vector<uint8_t> request = XidHeader(address, 3);
  AppendParameter(request, kPiProtocolVersion, &offered, 1);
  uint8_t answer[kAnswerBuffer];
  uint16_t length = 0;
  ResultCode result = ExchangeWith(address, request, answer, &length);
  if (result != kSuccess) return result;
  uint8_t version = 0;
  result = ProtocolVersionResponse(address, answer, length, &version);
  if (result == kSuccess) alds_.Record(address).AisgVersion = version;
  return result;
}

ResultCode AisgHdlc::ProtocolVersionResponse(uint8_t address, const uint8_t* answer, uint16_t length,
                                             uint8_t* version) {
  static const char* const kParser = "AisgHdlc::ProtocolVersionResponse";
  XidParameters params(answer, length);
  if (!params.HeaderValid()) return FormatError(kParser, address);
  XidParameters::Parameter p{};
  while (params.Next(p)) {
    if (p.Pi != kPiProtocolVersion || p.Pl != 1 || !ValidVersion(p.Value[0])) return FormatError(kParser, address);
    *version = p.Value[0];
  }
  if (params.Malformed()) return FormatError(kParser, address);
  return kSuccess;
}
