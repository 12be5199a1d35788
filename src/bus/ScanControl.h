#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

class ScanEngine;
class TraceLog;

// The user's scan request (Start Scan, Stop Scan) and its hand-over to the
// worker thread. The request stays pending from Start Scan until the scan
// started for it has ended, or until Stop Scan.
//
// Taking a request and stopping one are serialised, so a Stop Scan can
// never slip between the worker's look at the request and the start of the
// scan; and a new request made while a stopped scan winds down survives its
// end.
class ScanControl {
 public:
  ScanControl(ScanEngine& engine, TraceLog& log) : engine_(engine), log_(log) {}

  // User-interface thread.
  void StartScan();
  void StopScan();
  int32_t ScanRequested() const { return requested_; }

  // Worker thread: arms the engine and returns true when a request is
  // pending and no scan runs; ScanEnded follows the scan.
  bool TakeRequest();
  void ScanEnded();

 private:
  ScanEngine& engine_;
  TraceLog& log_;
  std::mutex mutex_;
  std::atomic<int32_t> requested_{0};
  uint64_t requestSerial_ = 0;  // guarded by mutex_
  uint64_t takenSerial_ = 0;    // guarded by mutex_
};
