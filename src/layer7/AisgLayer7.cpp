#include "layer7/AisgLayer7.h"

#include <algorithm>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/Clock.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/Vocabulary.h"
#include "link/AisgHdlc.h"

namespace {

bool TracesOwnLine(ProcedureId id) {
  switch (id) {
    case kProcSingleRetSetDeviceData:
    case kProcSingleRetGetDeviceData:
    case kProcMultiRetSetDeviceData:
    case kProcMultiRetGetDeviceData:
    case kProcTmaSetDeviceData:
    case kProcTmaGetDeviceData: return true;
    default: return false;
  }
}

// Marks the ALD busy for as long as the engine waits for its answer. The
// mark goes whatever ends the wait, a port failure included: an ALD left
// busy would never be polled again.
class BusyWhileWaiting {
 public:
  explicit BusyWhileWaiting(AldRecord& ald) : ald_(ald) { ald_.Busy = 1; }
  ~BusyWhileWaiting() { ald_.Busy = 0; }
  BusyWhileWaiting(const BusyWhileWaiting&) = delete;
  BusyWhileWaiting& operator=(const BusyWhileWaiting&) = delete;

 private:
  AldRecord& ald_;
};

// Marks the ALD's answer as owed when the wait for it ends without it, a
// port failure included: the device may still send it, and the next request
// with the same code would take it for its own.
class OwedUnlessAnswered {
 public:
  OwedUnlessAnswered(AldRecord& ald, uint8_t code, uint64_t untilMs) : ald_(ald), code_(code), untilMs_(untilMs) {}
  ~OwedUnlessAnswered() {
    if (answered_) return;
    ald_.OwedProcedure = code_;
    ald_.OwedUntilMs = untilMs_;
  }
  OwedUnlessAnswered(const OwedUnlessAnswered&) = delete;
  OwedUnlessAnswered& operator=(const OwedUnlessAnswered&) = delete;
  void Answered() { answered_ = true; }

 private:
  AldRecord& ald_;
  uint8_t code_;
  uint64_t untilMs_;
  bool answered_ = false;
};

}  // namespace

AisgLayer7::AisgLayer7(AisgHdlc& link, AldTable& table, TraceLog& log, Clock& clock)
    : classTag_(TraceClass::kAisg), link_(link), table_(table), log_(log), clock_(clock) {}

AisgLayer7& AisgLayer7::Instance() {
  static AisgLayer7* layer7 =
      new AisgLayer7(AisgHdlc::Instance(), AldTable::Instance(), TraceLog::Instance(), Clock::System());
  return *layer7;
}

ResultCode AisgLayer7::RunProcedure(uint8_t address, const L7Message& request, L7Message& response) {
  std::lock_guard<std::recursive_mutex> holdAld(procedureLocks_[address]);
  uint8_t code = request.Code();
  // A reset ends whatever the device still runs; waiting for that first
  // would only delay it.
  if (code != Vocabulary::ProcedureCodeOf(kProcReset)) CollectOwedAnswer(address);
  if (!TracesOwnLine(Vocabulary::ProcedureIdOf(code))) {
    log_.Write(kTraceInfo, classTag_, address, "Handling Command: '%s'", Vocabulary::ProcedureName(code).c_str());
  }
  response = L7Message();
  ResultCode result = link_.SendIFrame(address, request.Bytes, response.Bytes);
  // An I-frame fetched by the link's recovery poll is the response when it
  // carries the procedure; otherwise the device took the request and still
  // owes the response.
  if (result == kLayer7Notification) {
    if (response.Code() == code) return kSuccess;
    result = kProcedureNotCompleted;
  }
  if (result == kProcedureNotCompleted) return AwaitResponse(address, request, response);
  if (result == kSuccess && response.Code() != code) {
    log_.Write(kTraceError, classTag_, address, "L7 procedure mismatch response code!");
    response.SetLength(1);
    response.Data()[0] = kFormatError;
    return kFormatError;
  }
  return result;
}

// The device took the request and answers later: poll once a second until
// the response with our procedure code arrives, the time-out runs out or the
// link is lost. Busy keeps the alarm poller away meanwhile.
ResultCode AisgLayer7::AwaitResponse(uint8_t address, const L7Message& request, L7Message& response) {
  AldRecord& ald = table_.Record(address);
  uint8_t code = request.Code();
  uint16_t timeout = Vocabulary::ProcedureTimeout(code);
  BusyWhileWaiting busy(ald);
  OwedUnlessAnswered owed(ald, code, clock_.NowMs() + uint64_t{timeout} * kPollIntervalMs);
  ResultCode result = kTimeout;
  ProgressReport wait{ProgressReport::Kind::kWait, address, code};
  wait.TimeoutMs = uint64_t{timeout} * kPollIntervalMs;
  uint64_t start = clock_.NowMs();
  for (uint16_t polls = 0; polls < timeout; ++polls) {
    if (ald.State == kStateDisconnected) {
      result = kFail;
      break;
    }
    response = L7Message();
    if (link_.Poll(address, response.Bytes) == kLayer7Notification && response.Code() == code) {
      result = kSuccess;
      owed.Answered();
      break;
    }
    wait.ElapsedMs = clock_.NowMs() - start;
    ReportProgress(wait);
    PumpMessages();
    SleepPumping(kPollIntervalMs);
  }
  wait.Ended = true;
  ReportProgress(wait);
  if (result == kTimeout) {
    log_.Write(kTraceError, classTag_, address, "L7 procedure %s timed out!", Vocabulary::ProcedureName(code).c_str());
  }
  return result;
}

void AisgLayer7::ReportProgress(const ProgressReport& report) {
  if (ProgressListener* listener = progress_.load()) listener->OnProgress(report);
}

void AisgLayer7::SleepPumping(uint32_t ms) {
  constexpr uint32_t kSliceMs = 50;
  for (uint32_t slept = 0; slept < ms; slept += kSliceMs) {
    clock_.SleepMs(std::min(kSliceMs, ms - slept));
    PumpMessages();
  }
}

// An answer owed from an abandoned wait is fetched and dropped before the
// next request goes out, so that no later procedure takes it for its own.
// The polls end with that answer, or once the device's own time limit for
// the abandoned procedure has run out (after one poll at least); a lost link
// keeps the mark for the next request after reconnection.
void AisgLayer7::CollectOwedAnswer(uint8_t address) {
  AldRecord& ald = table_.Record(address);
  uint8_t owed = ald.OwedProcedure;
  if (owed == 0 || ald.State == kStateDisconnected) return;
  std::string name = Vocabulary::ProcedureName(owed);
  log_.Write(kTraceInfo, classTag_, address, "Collecting the outstanding response to '%s'", name.c_str());
  BusyWhileWaiting busy(ald);
  uint16_t limit = Vocabulary::ProcedureTimeout(owed);
  for (uint16_t polls = 0; polls <= limit && ald.State != kStateDisconnected; ++polls) {
    L7Message late;
    if (link_.Poll(address, late.Bytes) == kLayer7Notification && TakeOwedAnswer(address, late)) return;
    if (clock_.NowMs() >= ald.OwedUntilMs) break;
    SleepPumping(kPollIntervalMs);
  }
  if (ald.State == kStateDisconnected) return;
  log_.Write(kTraceWarning, classTag_, address, "No outstanding response to '%s' came, given up", name.c_str());
  ald.OwedProcedure = 0;
}

// Returns whether the message was the owed answer, which is then traced
// and dropped.
bool AisgLayer7::TakeOwedAnswer(uint8_t address, const L7Message& message) {
  AldRecord& ald = table_.Record(address);
  if (ald.OwedProcedure == 0 || message.Code() != ald.OwedProcedure) return false;
  size_t at = ReturnCodeIndex(message.Code());
  bool ok = message.Length() > at && message.DataAt(at) == 0x00;
  ResultCode result = ok ? kSuccess : ResponseResult(message);
  log_.Write(kTraceInfo, classTag_, address, "Late response to '%s' discarded, Result: '%s'",
             Vocabulary::ProcedureName(message.Code()).c_str(), Vocabulary::ResultName(result).c_str());
  ald.OwedProcedure = 0;
  return true;
}

size_t AisgLayer7::ReturnCodeIndex(uint8_t code) {
  return Vocabulary::ProcedureHasSubunit(code) ? 1 : 0;
}

ResultCode AisgLayer7::ResponseResult(const L7Message& response) {
  if (response.Length() <= 1) return kProtocolError;
  size_t at = ReturnCodeIndex(response.Code());
  uint8_t result = Vocabulary::ResultFromAisg(response.DataAt(at));
  if (result == kFail) result = Vocabulary::ResultFromAisg(response.DataAt(at + 1));
  return static_cast<ResultCode>(result);
}

// A failed transaction reports what the device said when a response is in
// the buffer (including the engine's rewritten mismatch); otherwise, after a
// time-out, a lost link or a link failure, the engine's own result: an empty
// buffer says nothing.
AisgLayer7::Outcome AisgLayer7::Transact(uint8_t address, const L7Message& request, L7Message& response) {
  uint8_t code = request.Code();
  ResultCode result = RunProcedure(address, request, response);
  size_t at = ReturnCodeIndex(code);
  if (result == kSuccess && response.Length() > at && response.DataAt(at) == 0x00) return {kSuccess, true};
  bool hasResponse = result == kSuccess || result == kFormatError;
  return {Failed(address, code, hasResponse ? ResponseResult(response) : result), false};
}

ResultCode AisgLayer7::Failed(uint8_t address, uint8_t code, ResultCode result) {
  log_.Write(kTraceError, classTag_, address, "Response: '%s', Result: '%s'", Vocabulary::ProcedureName(code).c_str(),
             Vocabulary::ResultName(result).c_str());
  return result;
}

ResultCode AisgLayer7::Succeeded(uint8_t address, uint8_t code) {
  log_.Write(kTraceInfo, classTag_, address, "Response: '%s', Result: '%s'", Vocabulary::ProcedureName(code).c_str(),
             "Success");
  return kSuccess;
}

ResultCode AisgLayer7::Simple(uint8_t address, const L7Message& request) {
  L7Message response;
  Outcome o = Transact(address, request, response);
  return o.Ok ? Succeeded(address, request.Code()) : o.Result;
}
