#pragma once

#include <cstdint>

class TraceLog;

// The one exception type of the serial layer, thrown by value when the
// platform fails a port operation that has no other way to report it.
class ECommError {
 public:
  static constexpr int32_t kPortNameWhileOpen = 6;
  static constexpr int32_t kWrite = 9;
  static constexpr int32_t kRead = 10;
  static constexpr int32_t kClose = 11;

  // Takes errno as the system error; construct it right after the failing
  // call, before anything else can overwrite errno.
  ECommError(int32_t code, TraceLog& log);
  // For failures that the platform reports without setting errno (a hang-up
  // seen by poll, a time-out).
  ECommError(int32_t code, TraceLog& log, uint32_t systemError);

  int32_t Code;
  uint32_t SystemError;
  TraceLog* Log;
};
