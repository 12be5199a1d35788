#include "serial/DetectPort.h"

#include "serial/AdapterDetector.h"

DetectPortOutcome DetectPort(AdapterDetector& detector, bool portOpen,
                             const std::function<bool(const std::string& port)>& adopt) {
  DetectPortOutcome outcome;
  if (portOpen) {
    outcome.Message = DetectPortOutcome::kAlreadyOpen;
    return outcome;
  }
  detector.FindAdapterPort();
  outcome.Port = detector.GetDetectedPort();
  if (outcome.Port.empty()) {
    outcome.Caption = DetectPortOutcome::kNoneFound;
    return outcome;
  }
  // A reopen that failed must not be confirmed as a success; the serial layer
  // has traced why it failed.
  bool opened = adopt && adopt(outcome.Port);
  outcome.Message = opened ? DetectPortOutcome::kReopened : DetectPortOutcome::kReopenFailed;
  return outcome;
}
