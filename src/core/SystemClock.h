#pragma once

#include "core/Clock.h"

class SystemClock : public Clock {
 public:
  uint64_t NowMs() const override;
  void SleepMs(uint32_t ms) override;
};
