#include "bus/BusWorker.h"

#include <optional>

#include "bus/AlarmPoller.h"
#include "bus/CommFailureReporter.h"
#include "bus/PollControl.h"
#include "bus/ScanControl.h"
#include "bus/ScanEngine.h"
#include "core/Clock.h"
#include "core/SystemClock.h"

BusWorker::BusWorker(ScanEngine& engine, ScanControl& control, PollControl& polls, AlarmPoller& poller,
                     CommFailureReporter& failures, Clock& clock)
    : engine_(engine),
      control_(control),
      polls_(polls),
      poller_(poller),
      failures_(failures),
      clock_(clock),
      realTime_(dynamic_cast<SystemClock*>(&clock) != nullptr) {}

BusWorker::~BusWorker() {
  Stop();
}

void BusWorker::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] { WorkerMain(); });
}

void BusWorker::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  polls_.Interrupt();
  if (engine_.IsRunning()) engine_.Stop();
  thread_.join();
  stop_ = false;
  polls_.Resume();
}

void BusWorker::WorkerMain() {
  started_ = 1;
  while (!stop_) {
    Nap();
    if (stop_) break;
    ServeRequest();
    ServePoll();
  }
}

// The poll is due within a tick of being asked for, not at the next look:
// it is what keeps the alarm display current.
void BusWorker::Nap() {
  if (realTime_) {
    polls_.AwaitRequest(kLookIntervalMs);
  } else {
    clock_.SleepMs(kLookIntervalMs);
  }
}

// A port failure ends the scan, not the thread: the next request runs once
// the port is back.
bool BusWorker::ServeRequest() {
  if (!control_.TakeRequest()) return false;
  if (stop_) engine_.Stop();  // Stop may have looked at the engine just before it was armed
  try {
    failures_.Guard("the bus scan", [this] { engine_.RunArmed(); });
  } catch (...) {
    control_.ScanEnded();  // a bus reset waiting for this scan must not wait for ever
    throw;
  }
  control_.ScanEnded();
  return true;
}

// The poll reports a port failure itself and goes on with the next request.
bool BusWorker::ServePoll() {
  std::optional<size_t> rows = polls_.Take();
  if (!rows) return false;
  try {
    poller_.PollAll(*rows);
  } catch (...) {
    polls_.Ended();  // a bus reset waiting for this poll must not wait for ever
    throw;
  }
  polls_.Ended();
  return true;
}
