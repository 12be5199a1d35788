#include "sim/SimRet.h"

#include <cstdlib>
#include <utility>

namespace {

constexpr uint8_t kMaxTiltField = 0x06;
constexpr uint8_t kMinTiltField = 0x07;

}  // namespace

SimRet::SimRet(SimDeviceConfig config, std::vector<SimSubunit> subunits)
    : SimAld(std::move(config), std::move(subunits)) {
  for (size_t i = 0; i < Subunits().size(); ++i) SetCalibrated(i, Subunits()[i].Calibrated);
}

bool SimRet::IsCondition(const SimSubunit& antenna, uint8_t code) const {
  return code == kNotCalibrated && !antenna.Calibrated;
}

SimDevice::Outcome SimRet::Calibrate(uint8_t code, Reply sub, size_t index) {
  if (!Subunits()[index].Configured) return Fail(code, sub, kNotConfigured);
  Outcome outcome = Ok(code, sub);
  outcome.Long = true;
  outcome.DelayMs = Config().CalibrationMs;
  outcome.Done = [this, index] { SetCalibrated(index, true); };
  return outcome;
}

SimDevice::Outcome SimRet::SetTilt(uint8_t code, Reply sub, size_t index, View tilt) {
  if (tilt.size() != 2) return Fail(code, sub, kFormatError);
  const SimSubunit& antenna = Subunits()[index];
  if (!antenna.Configured) return Fail(code, sub, kNotConfigured);
  if (!antenna.Calibrated) return Fail(code, sub, kNotCalibrated);
  auto target = static_cast<int16_t>(tilt[0] | tilt[1] << 8);
  int16_t max = SimDataFields::SignedWord(antenna.Fields, kMaxTiltField);
  int16_t min = SimDataFields::SignedWord(antenna.Fields, kMinTiltField);
  if (target < min || target > max) return Fail(code, sub, kOutOfRange);
  Outcome outcome = Ok(code, sub);
  outcome.Long = true;
  outcome.DelayMs = MoveMs(antenna.Tilt, target);
  outcome.Done = [this, index, target] { MutableSubunits()[index].Tilt = target; };
  return outcome;
}

SimDevice::Outcome SimRet::GetTilt(uint8_t code, Reply sub, size_t index) const {
  const SimSubunit& antenna = Subunits()[index];
  if (!antenna.Calibrated) return Fail(code, sub, kNotCalibrated);
  auto tilt = static_cast<uint16_t>(antenna.Tilt);
  return Ok(code, sub, {static_cast<uint8_t>(tilt & 0xFF), static_cast<uint8_t>(tilt >> 8)});
}

// Configuration data arrive in blocks without a start or an end; an antenna
// that has received any counts as configured.
SimDevice::Outcome SimRet::SendConfig(uint8_t code, Reply sub, size_t index, size_t octets) {
  if (octets == 0) return Fail(code, sub, kFormatError);
  SimSubunit& antenna = MutableSubunits()[index];
  antenna.ConfigOctets += static_cast<uint32_t>(octets);
  antenna.Configured = true;
  return Ok(code, sub);
}

uint64_t SimRet::MoveMs(int16_t from, int16_t to) const {
  double tenthsPerSecond = Config().TiltDegPerS * 10.0;
  double travel = std::abs(static_cast<int>(to) - static_cast<int>(from));
  uint64_t moving = tenthsPerSecond > 0 ? static_cast<uint64_t>(travel * 1000.0 / tenthsPerSecond) : 0;
  return Config().MoveSettleMs + moving;
}
