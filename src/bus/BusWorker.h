#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

class Clock;
class CommFailureReporter;
class ScanControl;
class ScanEngine;

// The worker thread: once a second it looks whether a scan was asked for
// and, if so, runs it to its end. It is the only thread that runs scans.
// Shutdown (and a test) stops it; otherwise it lives as long as the program.
class BusWorker {
 public:
  static constexpr uint32_t kLookIntervalMs = 1000;

  // The clock paces the once-a-second look only; the scan's own waits go
  // through the engine's clock.
  BusWorker(ScanEngine& engine, ScanControl& control, CommFailureReporter& failures, Clock& clock);
  ~BusWorker();
  BusWorker(const BusWorker&) = delete;
  BusWorker& operator=(const BusWorker&) = delete;

  void Start();
  // Ends a running scan at its next step and waits for the thread to finish.
  void Stop();
  bool Started() const { return started_ != 0; }

  // The thread's body: loops until Stop.
  void WorkerMain();
  // One look: runs the requested scan, if any. Returns whether one ran.
  bool ServeRequest();

 private:
  ScanEngine& engine_;
  ScanControl& control_;
  CommFailureReporter& failures_;
  Clock& clock_;
  std::atomic<int32_t> started_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
