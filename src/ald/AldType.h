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

// The steps that bring a found ALD up, as its record names the one that
// failed last.
enum AldSetupStep : uint8_t {
  kSetupComplete = 0,
  kSetupAssign = 1,
  kSetupVersion = 2,
  kSetupConnect = 3,
  kSetupSubunits = 4,
};
