#pragma once

#include <cstdlib>
#include <cstring>

#include "link/AisgHdlc.h"

// The end-to-end tests run in the link's default timing, and once more with
// TILTDECK_EXACT_TIMING=1, where every answer is believed only after the
// line went quiet, as with fast exchanges switched off.
inline bool ExactTimingRun() {
  const char* value = std::getenv("TILTDECK_EXACT_TIMING");
  return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

inline void ApplyRunTiming(AisgHdlc& link) {
  if (ExactTimingRun()) link.SetExchangeTiming(false, AisgHdlc::kDefaultGuardMs);
}
