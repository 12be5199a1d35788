#pragma once

#include <cstdint>
#include <string>

#include "ald/AldSubunit.h"
#include "core/Relaxed.h"

// One antenna line device. The scalars that the scan on the worker thread and
// the user-interface thread both touch are Relaxed; strings and device data
// are written only by the thread running the procedure that produced them.
// The check trips over the names clang gives the implicit copy of the arrays.
struct AldRecord {  // NOLINT(bugprone-reserved-identifier)
  static constexpr int kMaxSubunits = 6;
  static constexpr int kUniqueIdMax = 19;

  Relaxed<int32_t> InUse = 0;
  Relaxed<uint8_t> Address = 0;
  Relaxed<uint8_t> DeviceType = 0xFF;
  Relaxed<uint8_t> State = 0;
  Relaxed<uint8_t> AisgVersion = 0xFF;
  char VendorCode[3] = {};
  char UniqueId[kUniqueIdMax + 1] = {};
  Relaxed<uint8_t> UniqueIdLength = 0;
  Relaxed<uint8_t> RecvSeq = 0;
  Relaxed<uint8_t> SendSeq = 0;
  Relaxed<uint8_t> MissedPolls = 0;
  Relaxed<int32_t> Busy = 0;
  // A long procedure whose wait ended without its answer: the device may
  // still send it. Its procedure code (0 when nothing is owed) and the
  // clock time by which the device's own time limit has run out.
  Relaxed<uint8_t> OwedProcedure = 0;
  Relaxed<uint64_t> OwedUntilMs = 0;
  Relaxed<int32_t> PollingEnabled = 1;
  Relaxed<uint8_t> SubunitCount = 1;
  Relaxed<uint8_t> SelectedSubunit = 0;
  // Why the ALD is not fully up: the step of its bring-up that failed (an
  // AldSetupStep, 0 when none did) and that step's result.
  Relaxed<uint8_t> SetupStep = 0;
  Relaxed<uint8_t> SetupResult = 0;
  std::string ProductNumber;
  std::string SerialNumber;
  std::string HardwareVersion;
  std::string SoftwareVersion;
  AldSubunit Subunits[kMaxSubunits];
};
