#pragma once

#include <cstdint>

// Where a settings save hands the scan options: the scan engine keeps copies
// of them, so a change reaches the next scan without the engine reading the
// settings on the worker thread.
class ScanOptionsSink {
 public:
  virtual ~ScanOptionsSink() = default;
  virtual void SetMaxIterations(int32_t maxIterations) = 0;
  virtual void SetAutoConnect(int32_t autoConnect) = 0;
  virtual void SetRepeatMode(int32_t repeatMode) = 0;
};
