#include "bus/AlarmPoller.h"

#include <algorithm>
#include <string>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldListModel.h"
#include "bus/AldSetup.h"
#include "bus/BusView.h"
#include "bus/CommFailureReporter.h"
#include "bus/DeviceWindows.h"
#include "bus/PollControl.h"
#include "bus/ScanEngine.h"
#include "bus/UiWorkQueue.h"
#include "core/Clock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"

AlarmPoller::AlarmPoller(AisgLayer7& layer7, ScanEngine& engine, PollControl& control, UiWorkQueue& ui,
                         AldListModel& list, BusView& view, DeviceWindows& windows, CommFailureReporter& failures)
    : layer7_(layer7),
      table_(layer7.Alds()),
      log_(layer7.Log()),
      clock_(layer7.Time()),
      engine_(engine),
      control_(control),
      ui_(ui),
      list_(list),
      view_(view),
      windows_(windows),
      failures_(failures) {}

void AlarmPoller::PollAll(size_t listedRows) {
  if (listedRows == 0) log_.Write(kTraceWarning, TraceClass::kMain, 0, "No ALD to poll!");
  if (engine_.IsRunning()) return;
  failures_.Guard("the alarm poll", [this] { PollAlds(); });
}

// The table may grow while the poll waits, so its size is read anew for
// every ALD. The per-ALD polling switch of the properties pane is honoured.
// A bus reset or shutdown ends the poll between two ALDs.
void AlarmPoller::PollAlds() {
  for (unsigned i = 1; i <= table_.AldCount() && !control_.EndAsked(); ++i) {
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
  if (table_.Record(slot).State == kStateDisconnected) ShowLost(slot);
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
    ui_.Post([this, name] { windows_.ShowAlarmText(name); });
  }
}

// The link layer has just declared the ALD lost: its rows and its status
// in the properties pane show it. Nothing is asked of the ALD for that (it
// no longer answers); the display reads the table on the user-interface
// thread. The device window learns of the loss from the link layer itself.
void AlarmPoller::ShowLost(uint8_t slot) {
  ui_.Post([this, slot] {
    list_.ShowAldRows(slot);
    view_.SetAldStatus(slot, AldSetup::StatusText(table_.Record(slot)));
  });
}
