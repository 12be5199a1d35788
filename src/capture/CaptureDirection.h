#pragma once

#include <cstdint>

// Which way a frame went, always seen from the primary station, whichever
// side of the bus wrote the capture: the program's own capture and the
// simulator's read the same way in a capture viewer.
enum class CaptureDirection : uint8_t {
  kFromPrimary,  // a request of the primary station
  kToPrimary,    // an answer of an ALD
};
