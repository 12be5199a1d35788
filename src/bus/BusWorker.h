#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

class AlarmPoller;
class Clock;
class CommFailureReporter;
class PollControl;
class ScanControl;
class ScanEngine;

// The worker thread: once a second it looks whether a scan was asked for
// and, if so, runs it to its end; and it runs the alarm poll that the
// main window's tick asks for, at once. It is the only thread that scans
// and polls, so a poll and a scan never meet on the bus, and never two
// polls. Shutdown (and a test) stops it; otherwise it lives as long as the
// program.
class BusWorker {
 public:
  static constexpr uint32_t kLookIntervalMs = 1000;

  // The clock paces the once-a-second look only; the scan's and the poll's
  // own waits go through the layer-7 clock. On the real clock a poll
  // request wakes the worker at once; on a test clock the looks follow each
  // other without real waits, so requests are served at once all the same.
  BusWorker(ScanEngine& engine, ScanControl& control, PollControl& polls, AlarmPoller& poller,
            CommFailureReporter& failures, Clock& clock);
  ~BusWorker();
  BusWorker(const BusWorker&) = delete;
  BusWorker& operator=(const BusWorker&) = delete;

  void Start();
  // Ends a running scan or poll at its next step and waits for the thread
  // to finish.
  void Stop();
  bool Started() const { return started_ != 0; }

  // The thread's body: loops until Stop.
  void WorkerMain();
  // One look: runs the requested scan, if any. Returns whether one ran.
  bool ServeRequest();
  // Runs the requested poll, if any. Returns whether one ran.
  bool ServePoll();

 private:
  void Nap();

  ScanEngine& engine_;
  ScanControl& control_;
  PollControl& polls_;
  AlarmPoller& poller_;
  CommFailureReporter& failures_;
  Clock& clock_;
  const bool realTime_;
  std::atomic<int32_t> started_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
