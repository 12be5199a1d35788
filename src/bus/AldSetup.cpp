#include "bus/AldSetup.h"

#include "ald/AldRecord.h"
#include "bus/AldAlarmRead.h"
#include "core/TraceLog.h"
#include "layer7/Vocabulary.h"

namespace AldSetup {

namespace {

const char* StepText(uint8_t step) {
  switch (step) {
    case kSetupAssign: return "Assign Address Request";
    case kSetupVersion: return "Protocol Version Request";
    case kSetupConnect: return "Connect Request";
    case kSetupSubunits: return "Subunit count request";
    default: return "";
  }
}

}  // namespace

void Failed(TraceLog& log, AldRecord& ald, uint8_t slot, AldSetupStep step, ResultCode result) {
  ald.SetupStep = step;
  ald.SetupResult = result;
  log.Write(kTraceWarning, TraceClass::kMain, slot, "ALD left %s: %s", Vocabulary::AldStateText(ald.State).c_str(),
            Problem(ald).c_str());
}

void Completed(AldRecord& ald) {
  ald.SetupStep = kSetupComplete;
  ald.SetupResult = kSuccess;
}

// A link brought up later (a reconnect, a command) answers the steps up to
// the connection.
std::string Problem(const AldRecord& ald) {
  uint8_t step = ald.SetupStep;
  if (step == kSetupComplete || (step != kSetupSubunits && IsLinkUp(ald))) return "";
  return std::string(StepText(step)) + " failed: " + Vocabulary::ResultName(ald.SetupResult);
}

std::string StatusText(const AldRecord& ald) {
  std::string state = Vocabulary::AldStateText(ald.State);
  std::string problem = Problem(ald);
  return problem.empty() ? state : state + " (" + problem + ")";
}

}  // namespace AldSetup
