#include "sim/SimAld.h"

#include <algorithm>
#include <array>
#include <string>
#include <typeinfo>

#include "layer7/Vocabulary.h"

namespace {

constexpr uint8_t kReset = 0x03;
constexpr uint8_t kGetAlarmStatus = 0x04;
constexpr uint8_t kGetInfo = 0x05;
constexpr uint8_t kClearAlarms = 0x06;
constexpr uint8_t kSelfTest = 0x0A;
constexpr uint8_t kAlarmSubscribe = 0x12;
constexpr uint8_t kDownloadStart = 0x40;
constexpr uint8_t kDownloadAppl = 0x41;
constexpr uint8_t kDownloadEnd = 0x42;
constexpr uint8_t kVendorSpecific = 0x90;
constexpr uint8_t kMultiRetNumberAntennas = 0x88;
constexpr uint8_t kTmaNumberSubunits = 0x79;

// Identity write: serial number, product number, hardware version.
constexpr size_t kIdentityLength = 47;
constexpr size_t kSerialWidth = 17;
constexpr size_t kProductWidth = 15;
// Get Info strings are cut so that the response fits one I-frame.
constexpr size_t kMaxInfoString = 17;

std::string TextField(SimDevice::View data, size_t from, size_t width) {
  std::string text;
  for (size_t i = from; i < from + width && data[i] != 0; ++i) text += static_cast<char>(data[i]);
  return text;
}

// Writes the string with its length octet at out; returns where it ends.
uint8_t* PutString(uint8_t* out, const std::string& text) {
  size_t n = std::min(text.size(), kMaxInfoString);
  *out++ = static_cast<uint8_t>(n);
  return std::copy_n(text.begin(), n, out);
}

// The subunit octet that a failed request's response starts with: the one
// the request named, for the procedures whose requests name one.
std::optional<uint8_t> FailureReply(uint8_t code, SimDevice::View data) {
  bool named = Vocabulary::ProcedureHasSubunit(code) && code != kMultiRetNumberAntennas && code != kTmaNumberSubunits;
  if (!named) return std::nullopt;
  return data.empty() ? 0 : data[0];
}

// The entries already in the store take the snapshot's values, so that a
// restore allocates nothing while the fields are the same ones.
void RestoreFields(SimDataFields::Store& to, const SimDataFields::Store& from) {
  auto sameKey = [](const auto& a, const auto& b) { return a.first == b.first; };
  if (to.size() != from.size() || !std::equal(to.begin(), to.end(), from.begin(), sameKey)) {
    to = from;
    return;
  }
  auto entry = to.begin();
  for (const auto& source : from) (entry++)->second = source.second;
}

void RestoreSubunit(SimSubunit& to, const SimSubunit& from) {
  RestoreFields(to.Fields, from.Fields);
  to.Alarms = from.Alarms;
  to.Calibrated = from.Calibrated;
  to.Configured = from.Configured;
  to.Tilt = from.Tilt;
  to.ConfigOctets = from.ConfigOctets;
  to.Mode = from.Mode;
  to.Gain = from.Gain;
  to.Functions = from.Functions;
  to.GainResolution = from.GainResolution;
}

}  // namespace

SimAld::SimAld(SimDeviceConfig config, std::vector<SimSubunit> subunits)
    : SimDevice(std::move(config)), subunits_(std::move(subunits)) {}

bool SimAld::Restore(const SimAld& snapshot) {
  if (typeid(*this) != typeid(snapshot) || snapshot.ProcedureRunning()) return false;
  if (this == &snapshot) return true;
  SimDevice::operator=(snapshot);
  if (subunits_.size() == snapshot.subunits_.size()) {
    for (size_t i = 0; i < subunits_.size(); ++i) RestoreSubunit(subunits_[i], snapshot.subunits_[i]);
  } else {
    subunits_ = snapshot.subunits_;
  }
  subscribed_ = snapshot.subscribed_;
  downloading_ = snapshot.downloading_;
  downloadBlocks_ = snapshot.downloadBlocks_;
  downloadOctets_ = snapshot.downloadOctets_;
  downloads_ = snapshot.downloads_;
  lastDownloadOctets_ = snapshot.lastDownloadOctets_;
  return true;
}

SimDevice::Bytes SimAld::Message(uint8_t code, View data) {
  Bytes message(3 + data.size());
  message[0] = code;
  message[1] = static_cast<uint8_t>(data.size() & 0xFF);
  message[2] = static_cast<uint8_t>(data.size() >> 8);
  std::copy(data.begin(), data.end(), message.begin() + 3);
  return message;
}

SimDevice::Outcome SimAld::Ok(uint8_t code, Reply sub, View values) {
  return Respond(code, sub, kOk, values);
}

SimDevice::Outcome SimAld::Ok(uint8_t code, Reply sub, std::initializer_list<uint8_t> values) {
  return Respond(code, sub, kOk, View(values.begin(), values.size()));
}

SimDevice::Outcome SimAld::Fail(uint8_t code, Reply sub, uint8_t reason) {
  return Respond(code, sub, kFail, View(&reason, 1));
}

// The response message in one piece: code, length, the subunit octet if
// any, the return code and the values.
SimDevice::Outcome SimAld::Respond(uint8_t code, Reply sub, uint8_t status, View values) {
  size_t length = (sub ? 2u : 1u) + values.size();
  Outcome outcome;
  Bytes& message = outcome.Response;
  message.resize(3 + length);
  message[0] = code;
  message[1] = static_cast<uint8_t>(length & 0xFF);
  message[2] = static_cast<uint8_t>(length >> 8);
  auto at = message.begin() + 3;
  if (sub) *at++ = *sub;
  *at++ = status;
  std::copy(values.begin(), values.end(), at);
  return outcome;
}

SimDevice::Outcome SimAld::HandleMessage(View message, uint64_t nowMs) {
  if (message.size() < 3) return Fail(message.empty() ? 0 : message[0], std::nullopt, kFormatError);
  uint8_t code = message[0];
  View data = message.subspan(3);
  if (static_cast<size_t>(message[1] | message[2] << 8) != data.size()) {
    return Fail(code, FailureReply(code, data), kFormatError);
  }
  if (ProcedureRunning() && code != kReset) return Fail(code, FailureReply(code, data), kBusy);
  if (auto outcome = CommonProcedure(code, data, nowMs)) return std::move(*outcome);
  if (auto outcome = KindProcedure(code, data, nowMs)) return std::move(*outcome);
  // Without a subunit octet, whichever way the primary reads the response
  // (return code first or second) it finds Unknown Command.
  return Fail(code, std::nullopt, kUnknownCommand);
}

std::optional<SimDevice::Outcome> SimAld::CommonProcedure(uint8_t code, View data, uint64_t nowMs) {
  bool empty = data.empty();
  switch (code) {
    case kReset: return empty ? Reset() : Fail(code, std::nullopt, kFormatError);
    case kGetAlarmStatus: return empty ? AlarmStatus() : Fail(code, std::nullopt, kFormatError);
    case kGetInfo: return empty ? Information() : Fail(code, std::nullopt, kFormatError);
    case kClearAlarms:
      if (!empty) return Fail(code, std::nullopt, kFormatError);
      for (auto& subunit : subunits_) ClearAlarmsOf(code, std::nullopt, subunit);
      return Ok(code, std::nullopt);
    case kAlarmSubscribe:
      if (!empty) return Fail(code, std::nullopt, kFormatError);
      subscribed_ = true;
      return Ok(code, std::nullopt);
    case kSelfTest: return empty ? SelfTest() : Fail(code, std::nullopt, kFormatError);
    case kVendorSpecific: return VendorSpecific(data);
    case kDownloadStart: return empty ? DownloadStart() : Fail(code, std::nullopt, kFormatError);
    case kDownloadAppl: return DownloadBlock(data);
    case kDownloadEnd: return empty ? DownloadEnd(nowMs) : Fail(code, std::nullopt, kFormatError);
    default: return std::nullopt;
  }
}

// The response goes out first; then the application restarts: a running
// procedure is abandoned, queued messages and the subscription are dropped.
// Address and link stay, so the primary can go on talking to the device.
SimDevice::Outcome SimAld::Reset() {
  AbortProcedure();
  ClearQueue();
  subscribed_ = false;
  downloading_ = false;
  return Ok(kReset, std::nullopt);
}

// Every active alarm of every subunit, each code once.
SimDevice::Outcome SimAld::AlarmStatus() const {
  Bytes codes;
  for (const auto& subunit : subunits_) {
    for (uint8_t code : subunit.Alarms) {
      if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
    }
  }
  return Ok(kGetAlarmStatus, std::nullopt, codes);
}

SimDevice::Outcome SimAld::Information() const {
  std::array<uint8_t, 4 * (1 + kMaxInfoString)> values{};
  uint8_t* end = PutString(values.data(), Config().ProductNumber);
  end = PutString(end, Config().SerialNumber);
  end = PutString(end, Config().HardwareVersion);
  end = PutString(end, Config().SoftwareVersion);
  return Ok(kGetInfo, std::nullopt, View(values.data(), end));
}

// A self test finds the hardware faults that are raised as alarms; an
// uncalibrated antenna is not a fault.
SimDevice::Outcome SimAld::SelfTest() const {
  Outcome outcome = Ok(kSelfTest, std::nullopt);
  for (const auto& subunit : subunits_) {
    for (uint8_t code : subunit.Alarms) {
      if (!IsCondition(subunit, code)) {
        outcome = Fail(kSelfTest, std::nullopt, code);
        break;
      }
    }
  }
  outcome.Long = true;
  outcome.DelayMs = Config().SelfTestMs;
  return outcome;
}

// 47 octets write the identity, and the unique identifier becomes the vendor
// code followed by the new serial number. One octet clears what the
// operator stored: the operator fields and the configuration data.
SimDevice::Outcome SimAld::VendorSpecific(View data) {
  if (data.size() == 1) {
    for (auto& subunit : subunits_) {
      for (auto& [id, octets] : subunit.Fields) {
        if (SimDataFields::GroupOf(id) == SimDataFields::Group::kOperator) std::fill(octets.begin(), octets.end(), 0);
      }
      subunit.ConfigOctets = 0;
    }
    return Ok(kVendorSpecific, std::nullopt);
  }
  if (data.size() != kIdentityLength) return Fail(kVendorSpecific, std::nullopt, kFormatError);
  SimDeviceConfig& config = MutableConfig();
  config.SerialNumber = TextField(data, 0, kSerialWidth);
  config.ProductNumber = TextField(data, kSerialWidth, kProductWidth);
  config.HardwareVersion = TextField(data, kSerialWidth + kProductWidth, kProductWidth);
  config.UniqueId = (config.VendorCode + config.SerialNumber).substr(0, SimXid::kPaddedLength);
  return Ok(kVendorSpecific, std::nullopt);
}

SimDevice::Outcome SimAld::DownloadStart() {
  if (Config().DownloadFail.Where == SimDeviceConfig::DownloadFailure::kStart) {
    downloading_ = false;
    return Fail(kDownloadStart, std::nullopt, kFlashEraseError);
  }
  downloading_ = true;
  downloadBlocks_ = 0;
  downloadOctets_ = 0;
  return Ok(kDownloadStart, std::nullopt);
}

SimDevice::Outcome SimAld::DownloadBlock(View data) {
  if (!downloading_) return Fail(kDownloadAppl, std::nullopt, kCommandSequenceError);
  ++downloadBlocks_;
  const auto& fail = Config().DownloadFail;
  if (fail.Where == SimDeviceConfig::DownloadFailure::kBlock && fail.Block == downloadBlocks_) {
    downloading_ = false;
    return Fail(kDownloadAppl, std::nullopt, kFlashError);
  }
  downloadOctets_ += static_cast<uint32_t>(data.size());
  return Ok(kDownloadAppl, std::nullopt);
}

SimDevice::Outcome SimAld::DownloadEnd(uint64_t nowMs) {
  if (!downloading_) return Fail(kDownloadEnd, std::nullopt, kCommandSequenceError);
  downloading_ = false;
  if (Config().DownloadFail.Where == SimDeviceConfig::DownloadFailure::kEnd) {
    return Fail(kDownloadEnd, std::nullopt, kChecksumError);
  }
  ++downloads_;
  lastDownloadOctets_ = downloadOctets_;
  ScheduleRestart(nowMs);
  return Ok(kDownloadEnd, std::nullopt);
}

void SimAld::OnRestart() {
  subscribed_ = false;
  downloading_ = false;
}

SimSubunit* SimAld::SubunitAt(uint8_t number) {
  if (number == 0 || number > subunits_.size()) return nullptr;
  return &subunits_[number - 1];
}

bool SimAld::RaiseAlarm(uint8_t subunit, uint8_t code) {
  SimSubunit* target = SubunitAt(subunit);
  if (!target || code == 0) return false;
  auto& alarms = target->Alarms;
  if (std::find(alarms.begin(), alarms.end(), code) != alarms.end() || alarms.size() == kMaxAlarms) return false;
  alarms.push_back(code);
  Notify(subunit - 1u, code, 1);
  return true;
}

bool SimAld::ClearAlarm(uint8_t subunit, uint8_t code) {
  SimSubunit* target = SubunitAt(subunit);
  if (!target) return false;
  auto& alarms = target->Alarms;
  auto it = std::find(alarms.begin(), alarms.end(), code);
  if (it == alarms.end()) return false;
  alarms.erase(it);
  Notify(subunit - 1u, code, 0);
  return true;
}

// An uncalibrated antenna carries the Not Calibrated alarm for as long as it
// stays so; calibrating clears it like any other alarm that goes away.
void SimAld::SetCalibrated(size_t index, bool calibrated) {
  SimSubunit& subunit = subunits_[index];
  subunit.Calibrated = calibrated;
  auto number = static_cast<uint8_t>(index + 1);
  if (calibrated) {
    ClearAlarm(number, kNotCalibrated);
  } else {
    RaiseAlarm(number, kNotCalibrated);
  }
}

SimDevice::Outcome SimAld::AlarmsOf(uint8_t code, Reply sub, const SimSubunit& subunit) const {
  return Ok(code, sub, subunit.Alarms);
}

// Clearing forgets the alarms whose cause is gone; a condition that still
// holds stays raised.
SimDevice::Outcome SimAld::ClearAlarmsOf(uint8_t code, Reply sub, SimSubunit& subunit) {
  auto& alarms = subunit.Alarms;
  alarms.erase(std::remove_if(alarms.begin(), alarms.end(), [&](uint8_t a) { return !IsCondition(subunit, a); }),
               alarms.end());
  return Ok(code, sub);
}

SimDevice::Outcome SimAld::SetField(uint8_t code, Reply sub, SimSubunit& subunit, View request) const {
  if (request.empty()) return Fail(code, sub, kFormatError);
  const SimDataFields::Info* info = SimDataFields::Find(request[0]);
  if (!info || !subunit.Fields.count(info->Id)) return Fail(code, sub, kUnknownParameter);
  if (request.size() != 1u + info->Width) return Fail(code, sub, kFormatError);
  subunit.Fields[info->Id].assign(request.begin() + 1, request.end());
  return Ok(code, sub);
}

SimDevice::Outcome SimAld::GetField(uint8_t code, Reply sub, const SimSubunit& subunit, View request) const {
  if (request.size() != 1) return Fail(code, sub, kFormatError);
  auto it = subunit.Fields.find(request[0]);
  if (it == subunit.Fields.end()) return Fail(code, sub, kUnknownParameter);
  return Ok(code, sub, it->second);
}

void SimAld::Notify(size_t index, uint8_t code, uint8_t state) {
  if (subscribed_) QueueMessage(AlarmIndication(index, {{code, state}}));
}
