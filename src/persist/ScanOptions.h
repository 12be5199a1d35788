#pragma once

#include <cstdint>

// The scan settings the engine copies at every reset. Only AutoConnect steers
// the search; the other three are kept so that they can be shown and saved.
struct ScanOptions {
  int32_t AutoConnect = 1;
  int32_t MaxIterations = 9999;
  int32_t RepeatMode = 1;
  int32_t PreviouslyFound = 0;
};
