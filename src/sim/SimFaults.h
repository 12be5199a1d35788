#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimDeviceConfig.h"

// The faults a virtual bus injects, as given to aldsim --faults or built in a
// test. The text form is a comma-separated list of items:
//
//   drop=SHARE            lose this share of all answers on the line
//   fcs=SHARE             send this share of answers with a corrupted FCS
//   late=SHARE            send this share of answers after the read window
//   late-ms=MS            how long after the request a late answer comes (600)
//   seed=N                seed of the share decisions (1), for repeatable runs
//   off=DEV@T1[-T2]       power DEV off T1 seconds after the start, on at T2
//   stuck=DEV             DEV answers RR to its long procedures forever
//   dlfail=DEV:WHERE      DEV's software download fails at start, end or block N
//   alarm=DEV[/SUB]:CODE@T  DEV raises alarm CODE on subunit SUB (1) at T seconds
//
// SHARE is a fraction (0.1) or a percentage (10%). DEV is a unique identifier,
// or * for every device. Seconds may have a fraction (2.5). CODE is decimal or
// 0x-prefixed hex.
struct SimFaults {
  struct PowerWindow {
    std::string Device;
    uint64_t OffAtMs = 0;
    std::optional<uint64_t> OnAtMs;
  };
  struct AlarmEvent {
    std::string Device;
    uint8_t Subunit = 1;
    uint8_t Code = 0;
    uint64_t AtMs = 0;
  };
  struct DownloadFault {
    std::string Device;
    SimDeviceConfig::DownloadFailure Failure;
  };

  double DropShare = 0;
  double FcsShare = 0;
  double LateShare = 0;
  uint32_t LateMs = 600;
  uint32_t Seed = 1;
  std::vector<PowerWindow> Power;
  std::vector<std::string> Stuck;
  std::vector<AlarmEvent> Alarms;
  std::vector<DownloadFault> Downloads;

  // Nothing and a message naming the bad item when the text is not valid.
  static std::optional<SimFaults> Parse(const std::string& text, std::string* error);

 private:
  bool ParseItem(const std::string& key, const std::string& value);
};
