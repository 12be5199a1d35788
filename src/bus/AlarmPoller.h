#pragma once

#include <cstdint>

class AisgLayer7;
class AldListModel;
class AldTable;
class Clock;
class CommFailureReporter;
class DeviceWindows;
class ScanEngine;
class TraceLog;
struct AlarmList;

// One poll over the ALDs: asks every connected ALD whether it has something
// to say and traces the alarm changes it reports. A failed poll is counted
// by the link layer, which declares the ALD lost at the sixth in a row.
//
// User-interface thread. The scan keeps it off the bus while it runs.
class AlarmPoller {
 public:
  static constexpr uint32_t kPauseMs = 20;

  AlarmPoller(AisgLayer7& layer7, ScanEngine& engine, AldListModel& list, DeviceWindows& windows,
              CommFailureReporter& failures);

  void PollAll();

 private:
  void PollAlds();
  void PollOne(uint8_t slot);
  void ReportChanges(uint8_t slot, const AlarmList& changes);

  AisgLayer7& layer7_;
  AldTable& table_;
  TraceLog& log_;
  Clock& clock_;
  ScanEngine& engine_;
  AldListModel& list_;
  DeviceWindows& windows_;
  CommFailureReporter& failures_;
};
