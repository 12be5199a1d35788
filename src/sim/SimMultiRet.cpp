#include "sim/SimMultiRet.h"

namespace {

constexpr uint8_t kCalibrate = 0x80;
constexpr uint8_t kSetTilt = 0x81;
constexpr uint8_t kGetTilt = 0x82;
constexpr uint8_t kSetDeviceData = 0x83;
constexpr uint8_t kGetDeviceData = 0x84;
constexpr uint8_t kAlarmIndication = 0x85;
constexpr uint8_t kClearAlarms = 0x86;
constexpr uint8_t kGetAlarms = 0x87;
constexpr uint8_t kGetNumberAntennas = 0x88;
constexpr uint8_t kSendConfigData = 0x89;

}  // namespace

// Get Number Antennas carries one octet that means nothing to the device;
// any request length is taken.
std::optional<SimDevice::Outcome> SimMultiRet::KindProcedure(uint8_t code, View data, uint64_t) {
  if (code == kGetNumberAntennas) return Ok(code, std::nullopt, {static_cast<uint8_t>(Subunits().size())});
  if (code < kCalibrate || code > kSendConfigData || code == kAlarmIndication) return std::nullopt;
  if (data.empty()) return Fail(code, 0, kFormatError);
  if (!SubunitAt(data[0])) return Fail(code, data[0], kOutOfRange);
  return AntennaProcedure(code, data[0], data.subspan(1));
}

SimDevice::Outcome SimMultiRet::AntennaProcedure(uint8_t code, uint8_t antenna, View rest) {
  size_t index = antenna - 1u;
  SimSubunit& subunit = MutableSubunits()[index];
  bool empty = rest.empty();
  switch (code) {
    case kCalibrate: return empty ? Calibrate(code, antenna, index) : Fail(code, antenna, kFormatError);
    case kSetTilt: return SetTilt(code, antenna, index, rest);
    case kGetTilt: return empty ? GetTilt(code, antenna, index) : Fail(code, antenna, kFormatError);
    case kSetDeviceData: return SetField(code, antenna, subunit, rest);
    case kGetDeviceData: return GetField(code, antenna, subunit, rest);
    case kClearAlarms: return empty ? ClearAlarmsOf(code, antenna, subunit) : Fail(code, antenna, kFormatError);
    case kGetAlarms: return empty ? AlarmsOf(code, antenna, subunit) : Fail(code, antenna, kFormatError);
    default: return SendConfig(code, antenna, index, rest.size());
  }
}

SimDevice::Bytes SimMultiRet::AlarmIndication(size_t index,
                                              const std::vector<std::pair<uint8_t, uint8_t>>& changes) const {
  Bytes data = {static_cast<uint8_t>(index + 1)};
  for (const auto& [code, state] : changes) {
    data.push_back(code);
    data.push_back(state);
  }
  return Message(kAlarmIndication, data);
}
