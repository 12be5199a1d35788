#pragma once

#include <atomic>
#include <thread>

#include "core/Clock.h"

// A clock for a thread that waits in a loop (the worker's once-a-second
// look): a sleep moves its own time on and gives the processor away, so the
// loop neither waits for real nor moves the clock the devices live by.
class YieldClock : public Clock {
 public:
  uint64_t NowMs() const override { return now_.load(); }
  void SleepMs(uint32_t ms) override {
    now_ += ms;
    std::this_thread::yield();
  }

 private:
  std::atomic<uint64_t> now_{0};
};
