#pragma once

#include <atomic>

#include "core/Clock.h"

// A clock whose time only moves when someone sleeps on it or advances it.
// A sleep returns at once, so a 180-poll time-out costs no real time.
class FakeClock : public Clock {
 public:
  explicit FakeClock(uint64_t startMs = 0) : now_(startMs) {}
  uint64_t NowMs() const override { return now_.load(); }
  void SleepMs(uint32_t ms) override {
    now_ += ms;
    ++sleeps_;
  }
  void Advance(uint64_t ms) { now_ += ms; }
  uint64_t Sleeps() const { return sleeps_.load(); }

 private:
  std::atomic<uint64_t> now_;
  std::atomic<uint64_t> sleeps_{0};
};
