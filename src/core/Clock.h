#pragma once

#include <cstdint>

// Every wait of the protocol (poll intervals, pauses, timer periods) goes
// through a Clock so tests can run minutes of protocol time in milliseconds.
// Serial read time-outs are not clock waits: they are what the wire needs.
class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds since an arbitrary origin.
  virtual uint64_t NowMs() const = 0;
  virtual void SleepMs(uint32_t ms) = 0;

  // The real clock of the process.
  static Clock& System();
};
