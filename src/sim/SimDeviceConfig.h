#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a simulated ALD is, as a site file describes it: its XID identity, the
// strings it reports in Get Info, how long its long procedures take, and the
// faults it is built with.
struct SimDeviceConfig {
  // Where a software download fails, if it is made to.
  struct DownloadFailure {
    enum At { kNever, kStart, kBlock, kEnd };
    At Where = kNever;
    uint32_t Block = 0;  // 1 for the first block, for kBlock
  };

  uint8_t DeviceType = 1;  // AldType: 1 single RET, 2 TMA, 0x11 multi RET
  std::string UniqueId;
  std::string VendorCode;
  uint8_t AisgVersion = 2;

  std::string ProductNumber;
  std::string SerialNumber;
  std::string HardwareVersion;
  std::string SoftwareVersion;

  // A RET moves its antenna at this rate; every move also takes the settle
  // time, so even a move to the current tilt is a long procedure.
  double TiltDegPerS = 1.0;
  uint32_t MoveSettleMs = 500;
  uint32_t CalibrationMs = 6000;
  uint32_t SelfTestMs = 3000;
  // After a completed download the device restarts and is deaf this long.
  uint32_t RestartMs = 3000;
  // An address is forgotten after this long without a frame for it; 0 keeps it.
  uint64_t AddressTimeoutMs = 180000;

  DownloadFailure DownloadFail;
  // Long procedures never complete: the device answers RR forever.
  bool Stuck = false;
  // A device whose line driver sends each answer in two pieces, this long
  // apart; 0 sends it whole.
  uint32_t SplitAnswerMs = 0;
  // Octets of noise (no flag among them) that follow each of its answers
  // at once, as a line driver that rings after it let go would; only once
  // it has an address (never after an XID answer), so that it can be found.
  uint32_t StrayOctets = 0;
  // A device behind a line that echoes: before each I-frame it sends, its
  // previous I-frame comes once more, this long ahead of the new one; empty
  // never.
  std::optional<uint32_t> StaleIFrameGapMs;
};
