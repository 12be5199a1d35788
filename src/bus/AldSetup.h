#pragma once

#include <cstdint>
#include <string>

#include "ald/AldType.h"
#include "layer7/ResultCode.h"

class TraceLog;
struct AldRecord;

// Why an ALD could not be brought up, kept in its record so that the user
// sees it next to the ALD's state, not only in the trace.
namespace AldSetup {

// Every request of a bring-up is idempotent: one that fails is made again
// this many times before the ALD is given up.
inline constexpr int kRetries = 2;

// Runs attempt until it succeeds, at most 1 + kRetries times.
template <class F>
ResultCode Retried(F&& attempt) {
  ResultCode r = attempt();
  for (int i = 0; i < kRetries && r != kSuccess; ++i) r = attempt();
  return r;
}

// Notes the failed step in the record and traces it (class MAIN, warning).
void Failed(TraceLog& log, AldRecord& ald, uint8_t slot, AldSetupStep step, ResultCode result);
void Completed(AldRecord& ald);
// "" when the bring-up went through, else e.g. "Connect Request failed: Timeout".
std::string Problem(const AldRecord& ald);
// The state's text, followed by the problem in brackets when there is one.
std::string StatusText(const AldRecord& ald);

}  // namespace AldSetup
