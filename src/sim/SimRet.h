#pragma once

#include "sim/SimAld.h"

// The actuator of a RET antenna: calibration, tilt moves within the limits
// of the Max Tilt and Min Tilt fields, and antenna configuration data. Moves
// and calibrations are long procedures: RR first, the response once the
// actuator is done. An antenna that is not calibrated refuses to move and
// has no tilt to report.
class SimRet : public SimAld {
 public:
  SimRet(SimDeviceConfig config, std::vector<SimSubunit> subunits);

 protected:
  bool IsCondition(const SimSubunit& antenna, uint8_t code) const override;
  Outcome Calibrate(uint8_t code, Reply sub, size_t index);
  Outcome SetTilt(uint8_t code, Reply sub, size_t index, View tilt);
  Outcome GetTilt(uint8_t code, Reply sub, size_t index) const;
  Outcome SendConfig(uint8_t code, Reply sub, size_t index, size_t octets);
  uint64_t MoveMs(int16_t from, int16_t to) const;
};
