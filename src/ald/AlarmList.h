#pragma once

#include <cstdint>

// Alarm codes with their states; also the layout of the alarm-change lists
// that the alarm decoders produce.
struct AlarmList {
  static constexpr int kMaxAlarms = 32;
  uint8_t AlarmCount = 0;
  uint8_t AlarmSubunit = 0;
  uint8_t AlarmCodes[kMaxAlarms] = {};
  uint8_t AlarmStates[kMaxAlarms] = {};
};
