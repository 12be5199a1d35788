#include "sim/SimSingleRet.h"

namespace {

constexpr uint8_t kCalibrate = 0x31;
constexpr uint8_t kSendConfigData = 0x32;
constexpr uint8_t kSetTilt = 0x33;
constexpr uint8_t kGetTilt = 0x34;
constexpr uint8_t kAlarmIndication = 0x07;
constexpr uint8_t kSetDeviceData = 0x0E;
constexpr uint8_t kGetDeviceData = 0x0F;

}  // namespace

std::optional<SimDevice::Outcome> SimSingleRet::KindProcedure(uint8_t code, View data, uint64_t) {
  switch (code) {
    case kCalibrate: return data.empty() ? Calibrate(code, std::nullopt, 0) : Fail(code, std::nullopt, kFormatError);
    case kSendConfigData: return SendConfig(code, std::nullopt, 0, data.size());
    case kSetTilt: return SetTilt(code, std::nullopt, 0, data);
    case kGetTilt: return data.empty() ? GetTilt(code, std::nullopt, 0) : Fail(code, std::nullopt, kFormatError);
    case kSetDeviceData: return SetField(code, std::nullopt, MutableSubunits()[0], data);
    case kGetDeviceData: return GetField(code, std::nullopt, Subunits()[0], data);
    default: return std::nullopt;
  }
}

SimDevice::Bytes SimSingleRet::AlarmIndication(size_t, const std::vector<std::pair<uint8_t, uint8_t>>& changes) const {
  Bytes data;
  for (const auto& [code, state] : changes) {
    data.push_back(code);
    data.push_back(state);
  }
  return Message(kAlarmIndication, data);
}
