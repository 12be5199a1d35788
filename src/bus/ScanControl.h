#pragma once

#include <atomic>
#include <condition_variable>
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
//
// A bus reset holds the scans: a scan that re-addressed the devices just
// reset against the table about to be emptied would leave them with
// addresses that no table knows, and no later scan would find them.
class ScanControl {
 public:
  ScanControl(ScanEngine& engine, TraceLog& log) : engine_(engine), log_(log) {}

  // User-interface thread.
  void StartScan();
  void StopScan();
  int32_t ScanRequested() const { return requested_; }
  // Cancels a pending request, ends a running scan and waits until the
  // worker has left it; until ReleaseScans no scan starts. A request made
  // meanwhile waits for the release.
  void HoldScans();
  void ReleaseScans();

  // Worker thread: arms the engine and returns true when a request is
  // pending and no scan runs; ScanEnded follows the scan.
  bool TakeRequest();
  void ScanEnded();

 private:
  ScanEngine& engine_;
  TraceLog& log_;
  std::mutex mutex_;
  std::condition_variable scanEnded_;
  std::atomic<int32_t> requested_{0};
  uint64_t requestSerial_ = 0;  // guarded by mutex_
  uint64_t takenSerial_ = 0;    // guarded by mutex_
  bool serving_ = false;        // guarded by mutex_: taken and not yet ended
  bool held_ = false;           // guarded by mutex_
};
