#pragma once

#include <cstdint>

// Result of every bus operation: the system's own codes 0 to 10 and 46, and
// the AISG return and alarm codes mapped onto 11 to 45.
enum ResultCode : uint8_t {
  kSuccess = 0,
  kTimeout = 1,
  kCollision = 2,
  kFailure = 3,
  kProtocolError = 4,
  kCrc16Error = 5,
  kInvalidState = 6,
  kSoftwareError = 7,
  kUnsupportedOperation = 8,
  kProcedureNotCompleted = 9,
  kLayer7Notification = 10,
  kBusy = 15,
  kEepromError = 20,
  kFail = 21,
  kNotCalibrated = 24,
  kOutOfRange = 28,
  kUnknownCommand = 33,
  kFormatError = 42,
  kUnknownResultCode = 46,
};
