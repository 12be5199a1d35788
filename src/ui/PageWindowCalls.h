#pragma once

#include <cstdint>
#include <functional>

// What an operation page asks of the device window it sits in, beyond
// DevicePageOwner. Empty calls do nothing (Guard then runs the operation
// unguarded).
struct PageWindowCalls {
  // Runs an operation started from one of the page's buttons; a serial
  // port failure inside it is reported there and ends it.
  std::function<void(const char* activity, const std::function<void()>& operation)> Guard;
  // EnableCommands of the window's RET, antenna and operator pages.
  std::function<void(bool)> EnableCommands;
  // Fills the ALD list's rows of (slot, subunit) again.
  std::function<void(uint8_t, uint8_t)> RefreshRow;
};
