#pragma once

#include <cstddef>
#include <cstdint>

class AisgLayer7;
class AldListModel;
class AldTable;
class BusView;
class Clock;
class CommFailureReporter;
class DeviceWindows;
class PollControl;
class ScanEngine;
class TraceLog;
class UiWorkQueue;
struct AlarmList;

// One poll over the ALDs: asks every connected ALD whether it has something
// to say and traces the alarm changes it reports. A failed poll is counted
// by the link layer, which declares the ALD lost at the sixth in a row.
//
// Worker thread, between scans, so it never meets a scan on the bus. What
// the windows are to show (the alarm texts, the rows and status of a lost
// ALD) is posted to the user-interface thread; the poll neither touches a
// window nor waits for one.
class AlarmPoller {
 public:
  static constexpr uint32_t kPauseMs = 20;

  AlarmPoller(AisgLayer7& layer7, ScanEngine& engine, PollControl& control, UiWorkQueue& ui, AldListModel& list,
              BusView& view, DeviceWindows& windows, CommFailureReporter& failures);

  // listedRows: the ALD list's row count when the poll was asked for.
  void PollAll(size_t listedRows);

 private:
  void PollAlds();
  void PollOne(uint8_t slot);
  void ReportChanges(uint8_t slot, const AlarmList& changes);
  void ShowLost(uint8_t slot);

  AisgLayer7& layer7_;
  AldTable& table_;
  TraceLog& log_;
  Clock& clock_;
  ScanEngine& engine_;
  PollControl& control_;
  UiWorkQueue& ui_;
  AldListModel& list_;
  BusView& view_;
  DeviceWindows& windows_;
  CommFailureReporter& failures_;
};
