#pragma once

#include <cstdint>

// How far a long procedure has got, for whoever shows it to the user: a
// download's blocks, or the wait for a device that answers late (a
// calibration may take minutes). Times come from the layer's clock.
struct ProgressReport {
  enum class Kind : uint8_t {
    kBlocks,  // Done of Total blocks sent, Octets of TotalOctets
    kWait,    // ElapsedMs of the procedure's time-out TimeoutMs
  };
  Kind What = Kind::kBlocks;
  uint8_t Address = 0;
  uint8_t Procedure = 0;  // layer-7 procedure code; the block procedure for downloads
  uint64_t Done = 0;
  uint64_t Total = 0;
  uint64_t Octets = 0;
  uint64_t TotalOctets = 0;
  uint64_t ElapsedMs = 0;  // since the download or wait began
  uint64_t TimeoutMs = 0;
  // The download or the wait is over (the block procedures' own waits end
  // inside a download).
  bool Ended = false;
};

// Receives the reports on the thread that runs the procedure, between its
// exchanges: it must return quickly and never wait for the bus.
class ProgressListener {
 public:
  virtual ~ProgressListener() = default;
  virtual void OnProgress(const ProgressReport& report) = 0;
};
