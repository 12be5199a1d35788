#include "bus/ScanControl.h"

#include "bus/ScanEngine.h"
#include "core/TraceLog.h"

void ScanControl::StartScan() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (requested_ == 1 || engine_.IsRunning()) {
    log_.Write(kTraceWarning, TraceClass::kMain, 0, "Scan is already running");
    return;
  }
  requested_ = 1;
  ++requestSerial_;
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Start Scan");
}

void ScanControl::StopScan() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (requested_ == 0) {
    log_.Write(kTraceWarning, TraceClass::kMain, 0, "Scan is not running");
    return;
  }
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Stop Scan");
  engine_.Stop();
  requested_ = 0;
}

// A scan taken just before the hold is halted before it sends anything;
// the hold waits until the worker has come out of it.
void ScanControl::HoldScans() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
    requested_ = 0;
  }
  engine_.Halt();
  std::unique_lock<std::mutex> lock(mutex_);
  scanEnded_.wait(lock, [this] { return !serving_; });
}

void ScanControl::ReleaseScans() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = false;
}

bool ScanControl::TakeRequest() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (held_ || requested_ != 1 || engine_.IsRunning()) return false;
  takenSerial_ = requestSerial_;
  serving_ = true;
  engine_.Arm();
  return true;
}

void ScanControl::ScanEnded() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (requestSerial_ == takenSerial_) requested_ = 0;
    serving_ = false;
  }
  scanEnded_.notify_all();
}
