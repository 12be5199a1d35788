#pragma once

#include <cstdint>

// The two settings the timer reads at every poll decision, so that a change
// in the options dialog takes effect at the next poll.
struct PollOptions {
  int32_t EnablePolling = 1;
  int32_t ScanAutoconnect = 1;
};
