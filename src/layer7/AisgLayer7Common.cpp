#include <algorithm>
#include <cstring>

#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"

namespace {

constexpr size_t kSerialWidth = 17;
constexpr size_t kProductWidth = 15;
constexpr size_t kHardwareWidth = 15;
// The clear-memory request carries one data octet; it repeats the operation.
constexpr uint8_t kClearMemoryOctet = VendorCommand::kClearMemory;

uint8_t CodeOf(ProcedureId id) {
  return Vocabulary::ProcedureCodeOf(id);
}

void PutField(uint8_t* out, const std::string& text, size_t width) {
  // Fixed-width field: zero-filled, with no terminator when the text fills it.
  std::fill_n(out, width, uint8_t{0});
  std::copy_n(text.begin(), std::min(text.size(), width), out);
}

// Reads one length-prefixed string at pos, never past the response; an
// embedded NUL ends the text. Returns false when the string ran past the end.
bool ReadInfoString(const L7Message& response, size_t& pos, std::string& out) {
  size_t end = response.DataLength();
  size_t length = pos < end ? response.DataAt(pos) : 0;
  size_t first = pos + 1;
  size_t available = first < end ? std::min(length, end - first) : 0;
  char text[256] = {};
  std::memcpy(text, response.Data() + std::min(first, end), available);
  out = text;
  pos = first + length;
  return pos <= end;
}

}  // namespace

ResultCode AisgLayer7::SoftwareReset(uint8_t address) {
  ResultCode result = Simple(address, L7Message::Make(CodeOf(kProcReset), {}));
  // The restart drops any answer the device still owed.
  if (result == kSuccess) table_.Record(address).OwedProcedure = 0;
  return result;
}

ResultCode AisgLayer7::ClearAlarms(uint8_t address) {
  return Simple(address, L7Message::Make(CodeOf(kProcClearAlarms), {}));
}

ResultCode AisgLayer7::AlarmSubscribe(uint8_t address) {
  return Simple(address, L7Message::Make(CodeOf(kProcAlarmSubscribe), {}));
}

ResultCode AisgLayer7::RunSelfTest(uint8_t address) {
  return Simple(address, L7Message::Make(CodeOf(kProcSelfTest), {}));
}

ResultCode AisgLayer7::GetAlarmStatus(uint8_t address, AlarmList& alarms) {
  L7Message response;
  Outcome o = Transact(address, L7Message::Make(CodeOf(kProcGetAlarmStatus), {}), response);
  if (!o.Ok) return o.Result;
  ResultCode result = DecodeAlarmOctets(address, response, 1, alarms);
  if (alarms.AlarmCount == 0) {
    alarms.AlarmCount = 1;
    alarms.AlarmCodes[0] = 0;
    alarms.AlarmStates[0] = 0;
  }
  return result;
}

// One entry per octet from `first` on; zero octets are counted but keep the
// entry's previous values. At most the list's 32 entries are taken.
ResultCode AisgLayer7::DecodeAlarmOctets(uint8_t address, const L7Message& response, size_t first, AlarmList& alarms) {
  size_t end = response.DataLength();
  size_t count = end > first ? end - first : 0;
  if (count > AlarmList::kMaxAlarms) {
    log_.Write(kTraceWarning, classTag_, address, "%zu alarms reported, the first %d kept", count,
               AlarmList::kMaxAlarms);
    count = AlarmList::kMaxAlarms;
  }
  ResultCode last = kSuccess;
  alarms.AlarmCount = 0;
  for (size_t i = 0; i < count; ++i) {
    ++alarms.AlarmCount;
    uint8_t octet = response.DataAt(first + i);
    if (octet == 0) continue;
    last = static_cast<ResultCode>(Vocabulary::ResultFromAisg(octet));
    alarms.AlarmCodes[i] = last;
    alarms.AlarmStates[i] = 1;
    log_.Write(kTraceError, classTag_, address, "Got alarms: 0x%x -> %s", octet, Vocabulary::ResultName(last).c_str());
  }
  return last;
}

ResultCode AisgLayer7::GetInformation(uint8_t address, AldRecord& record) {
  L7Message response;
  uint8_t code = CodeOf(kProcGetInfo);
  Outcome o = Transact(address, L7Message::Make(code, {}), response);
  if (!o.Ok) return o.Result;
  std::string* fields[] = {&record.ProductNumber, &record.SerialNumber, &record.HardwareVersion,
                           &record.SoftwareVersion};
  const char* formats[] = {"Product Number:   '%s'", "Serial Number:    '%s'", "Hardware Version: '%s'",
                           "Software Version: '%s'"};
  size_t pos = 1;
  bool complete = true;
  for (int i = 0; i < 4; ++i) {
    complete = ReadInfoString(response, pos, *fields[i]) && complete;
    log_.Write(kTraceInfo, classTag_, address, formats[i], fields[i]->c_str());
  }
  if (!complete) log_.Write(kTraceWarning, classTag_, address, "Get Info response ends inside its strings");
  return Succeeded(address, code);
}

ResultCode AisgLayer7::VendorSpecific(uint8_t address, const VendorCommand& command) {
  L7Message request = L7Message::Make(CodeOf(kProcVendorSpecific), {kClearMemoryOctet});
  if (command.Operation == VendorCommand::kWriteIdentity) {
    uint8_t* data = request.Data();
    PutField(data, command.SerialNumber, kSerialWidth);
    PutField(data + kSerialWidth, command.ProductNumber, kProductWidth);
    PutField(data + kSerialWidth + kProductWidth, command.HardwareVersion, kHardwareWidth);
    request.SetLength(kSerialWidth + kProductWidth + kHardwareWidth);
  }
  return Simple(address, request);
}

void AisgLayer7::StoreIdentity(uint8_t slot, const VendorCommand& command) {
  AldRecord& record = table_.Record(slot);
  std::string uniqueId = std::string(record.VendorCode, strnlen(record.VendorCode, 2)) + command.SerialNumber;
  uniqueId.resize(std::min<size_t>(uniqueId.size(), AldRecord::kUniqueIdMax));
  std::memset(record.UniqueId, 0, sizeof record.UniqueId);
  std::memcpy(record.UniqueId, uniqueId.data(), uniqueId.size());
  record.SerialNumber = command.SerialNumber;
  record.ProductNumber = command.ProductNumber;
  record.HardwareVersion = command.HardwareVersion;
}
