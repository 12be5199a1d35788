#pragma once

#include <cstdint>
#include <functional>

#include "bus/BusUi.h"

class AisgLayer7;
class AldListModel;
class AldTable;
class CommFailureReporter;
class TraceLog;
struct AldRecord;

// The Tools and Alarm Controls commands on the selected ALD, and the alarm
// refresh that ends most of them. User-interface thread; each command is a
// boundary at which a serial port failure is reported and the command
// abandoned.
class AldCommands {
 public:
  AldCommands(AisgLayer7& layer7, AldListModel& list, BusUi ui, CommFailureReporter& failures);

  void RefreshAlarms();
  void SoftwareResetSelected();
  void SelfTestSelected();
  void GetAllSelected();
  void ClearAllSelected();
  void SubscribeAlarmsSelected();
  void GetAlarmsSelected();
  void ClearAlarmsSelected();

 private:
  // What a command does when the selected ALD is disconnected: skip only
  // its own operation and still refresh the alarms, or stop.
  enum class OnDisconnected { kSkipOwn, kStop };
  using Operation = std::function<void(uint8_t address)>;

  void RunOnSelected(const char* activity, OnDisconnected onDisconnected, const Operation& own,
                     bool thenWindowAlarms = false);
  void Refresh();
  void ShowRefreshed(AldRecord& ald, uint8_t subunit, ResultCode r);
  void Message(const std::string& text);

  AisgLayer7& layer7_;
  AldTable& table_;
  TraceLog& log_;
  AldListModel& list_;
  BusUi ui_;
  CommFailureReporter& failures_;
};
