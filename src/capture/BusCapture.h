#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "capture/CaptureDirection.h"
#include "capture/CaptureFile.h"

class TraceLog;

// The capture of the frames that one side of the bus moves, started and
// stopped while the bus works: Record is called by whichever thread moves
// the octets, Start and Stop by any thread. A file that cannot be written
// is reported once, to the trace log and to the failure report, and the
// capture stops there; the bus work goes on as if no capture had been asked
// for. While no capture runs, Record costs one atomic load.
class BusCapture {
 public:
  // Called once with a one-line message when the file could not be written.
  // It runs on the thread that recorded the frame, without the capture's
  // lock held, so it may call Stop or Start.
  using FailureReport = std::function<void(const std::string& message)>;

  // log, when given, receives the failure as an error line.
  explicit BusCapture(CaptureFile::Identity identity, TraceLog* log = nullptr);
  BusCapture(const BusCapture&) = delete;
  BusCapture& operator=(const BusCapture&) = delete;

  // Ends a capture that runs, then creates path and captures into it from
  // now on. False with the reason in *error when the file cannot be created.
  bool Start(const std::string& path, std::string* error, FailureReport onFailure = {});
  void Stop();
  bool IsCapturing() const { return capturing_.load(std::memory_order_acquire); }
  std::string Path() const;

  // One transfer: the octets as they went over the line, at timeUs
  // (microseconds since 1970-01-01 UTC, see NowUs). Empty transfers are
  // not recorded.
  void Record(CaptureDirection direction, uint64_t timeUs, const uint8_t* data, size_t length);

  // The wall clock in microseconds since 1970-01-01 UTC.
  static uint64_t NowUs();

 private:
  const CaptureFile::Identity identity_;
  TraceLog* const log_;
  std::atomic<bool> capturing_{false};
  mutable std::mutex lock_;  // guards everything below
  CaptureFile file_;
  std::string path_;
  FailureReport onFailure_;
};
