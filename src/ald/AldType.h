#pragma once

#include <cstdint>

enum AldType : uint8_t {
  kAldSingleRet = 1,
  kAldTma = 2,
  kAldMultiRet = 0x11,
  kAldTypeUnknown = 0xFF,
};

enum AldState : uint8_t {
  kStateInitial = 0,
  kStateDiscovered = 1,
  kStateAddressed = 2,
  kStateDisconnected = 3,
  kStateConnected = 4,
  kStateAlarmed = 5,
  kStateCalibrating = 6,
};
