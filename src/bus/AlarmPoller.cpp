#include "bus/AlarmPoller.h"

#include <algorithm>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldListModel.h"
#include "bus/CommFailureReporter.h"
#include "bus/DeviceWindows.h"
#include "bus/ScanEngine.h"
#include "core/Clock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"

AlarmPoller::AlarmPoller(AisgLayer7& layer7, ScanEngine& engine, AldListModel& list, DeviceWindows& windows,
                         CommFailureReporter& failures)
    : layer7_(layer7),
      table_(layer7.Alds()),
      log_(layer7.Log()),
      clock_(layer7.Time()),
      engine_(engine),
      list_(list),
      windows_(windows),
      failures_(failures) {}

void AlarmPoller::PollAll() {
  if (list_.RowCount() == 0) log_.Write(kTraceWarning, TraceClass::kMain, 0, "No ALD to poll!");
  if (engine_.IsRunning()) return;
  failures_.Guard("the alarm poll", [this] { PollAlds(); });
}

// The table may grow while the poll waits, so its size is read anew for
// every ALD. The per-ALD polling switch of the properties pane is honoured.
void AlarmPoller::PollAlds() {
  for (unsigned i = 1; i <= table_.AldCount(); ++i) {
    const AldRecord& ald = table_.Record(i);
    if (ald.Busy == 1 || ald.State == kStateDisconnected || ald.PollingEnabled == 0) continue;
    if (ald.State >= kStateConnected) PollOne(static_cast<uint8_t>(i));
    clock_.SleepMs(kPauseMs);
  }
}

void AlarmPoller::PollOne(uint8_t slot) {
  log_.Write(kTraceInfo, TraceClass::kPoll, slot, "Polling Request");
  AlarmList changes;
  changes.AlarmCount = 0;
  ResultCode r = layer7_.PollAlarmIndication(table_.Record(slot).Address, changes);
  if (r == kSuccess && changes.AlarmCount != 0) ReportChanges(slot, changes);
}

void AlarmPoller::ReportChanges(uint8_t slot, const AlarmList& changes) {
  int count = std::min<int>(changes.AlarmCount, AlarmList::kMaxAlarms);
  for (int k = 0; k < count; ++k) {
    std::string name = Vocabulary::ResultName(changes.AlarmCodes[k]);
    if (changes.AlarmSubunit == 0) {
      log_.Write(kTraceError, TraceClass::kMain, slot, "Alarm '%s' changed to %d", name.c_str(),
                 changes.AlarmStates[k]);
    } else {
      log_.Write(kTraceError, TraceClass::kMain, slot, "[Sub: %d] Alarm '%s' changed to %d", changes.AlarmSubunit,
                 name.c_str(), changes.AlarmStates[k]);
    }
    windows_.ShowAlarmText(name);
  }
}
