#include "bus/BusWorker.h"

#include "bus/CommFailureReporter.h"
#include "bus/ScanControl.h"
#include "bus/ScanEngine.h"
#include "core/Clock.h"

BusWorker::BusWorker(ScanEngine& engine, ScanControl& control, CommFailureReporter& failures, Clock& clock)
    : engine_(engine), control_(control), failures_(failures), clock_(clock) {}

BusWorker::~BusWorker() {
  Stop();
}

void BusWorker::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] { WorkerMain(); });
}

void BusWorker::Stop() {
  stop_ = true;
  if (!thread_.joinable()) return;
  if (engine_.IsRunning()) engine_.Stop();
  thread_.join();
  stop_ = false;
}

void BusWorker::WorkerMain() {
  started_ = 1;
  while (!stop_) {
    clock_.SleepMs(kLookIntervalMs);
    if (!stop_) ServeRequest();
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
