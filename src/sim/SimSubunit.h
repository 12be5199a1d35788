#pragma once

#include <cstdint>
#include <vector>

#include "sim/SimDataFields.h"

// One antenna of a RET or one subunit of a TMA: its device data fields, its
// active alarms and its actuator or amplifier state. A new member is restored
// in SimAld::Restore too.
struct SimSubunit {
  SimDataFields::Store Fields;
  // Active AISG alarm codes in the order they were raised.
  std::vector<uint8_t> Alarms;

  // RET antenna. The tilt limits are the Max Tilt and Min Tilt fields: the
  // device enforces what it reports.
  bool Calibrated = false;
  bool Configured = true;
  int16_t Tilt = 0;  // tenths of a degree
  uint32_t ConfigOctets = 0;

  // TMA subunit. Gains in 0.25 dB steps, the resolution in 0.0625 dB steps;
  // the gain limits are the Tma Min/Max Support Gain fields.
  uint8_t Mode = 0;  // 0 normal, 1 bypass
  uint8_t Gain = 0;
  uint8_t Functions = 0x03;  // bit 0 bypass supported, bit 1 gain adjustable
  uint8_t GainResolution = 4;
};
