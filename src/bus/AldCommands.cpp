#include "bus/AldCommands.h"

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldAlarmRead.h"
#include "bus/AldListModel.h"
#include "bus/CommFailureReporter.h"
#include "bus/SelectedAld.h"
#include "core/Format.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"

namespace {

// Results of the system's own (no answer, a broken answer, ...): the read
// failed, which says nothing about the ALD's alarms.
bool IsReadFailure(ResultCode r) {
  return r >= kTimeout && r <= kLayer7Notification;
}

}  // namespace

AldCommands::AldCommands(AisgLayer7& layer7, AldListModel& list, BusUi ui, CommFailureReporter& failures)
    : layer7_(layer7), table_(layer7.Alds()), log_(layer7.Log()), list_(list), ui_(ui), failures_(failures) {}

void AldCommands::RefreshAlarms() {
  failures_.Guard("the alarm refresh", [this] { Refresh(); });
}

void AldCommands::Refresh() {
  uint8_t slot = SelectedSlot(table_);
  if (slot == 0) {
    log_.Write(kTraceWarning, TraceClass::kMain, 0, "You must select a device first!");
    return;
  }
  AldRecord& ald = table_.Record(slot);
  uint8_t subunit = ald.DeviceType == kAldSingleRet ? uint8_t{0} : ald.SelectedSubunit.Load();
  ResultCode r = ReadAldAlarms(layer7_, ald, subunit);
  ui_.Windows.ShowResult(r);
  ShowRefreshed(ald, subunit, r);
  list_.UpdateAldRows(slot, AldListModel::kAllSubunits);
}

// A read that failed leaves the state alone and shows why it failed: a
// device that did not answer is not alarmed, and the list's first code
// would be a stale one.
void AldCommands::ShowRefreshed(AldRecord& ald, uint8_t subunit, ResultCode r) {
  if (r == kSuccess) {
    ui_.Windows.ShowAlarmStatus("None", false);
    ald.State = kStateConnected;
    return;
  }
  if (IsReadFailure(r)) {
    ui_.Windows.ShowAlarmStatus(Vocabulary::ResultName(r), true);
    return;
  }
  ald.State = kStateAlarmed;
  ui_.Windows.ShowAlarmStatus(Vocabulary::ResultName(AlarmsOf(ald, subunit).AlarmCodes[0]), true);
}

void AldCommands::RunOnSelected(const char* activity, OnDisconnected onDisconnected, const Operation& own,
                                bool thenWindowAlarms) {
  failures_.Guard(activity, [&] {
    uint8_t slot = SelectedSlot(table_);
    if (slot == 0) return Message("No devices present. Please click scan");
    const AldRecord& ald = table_.Record(slot);
    if (ald.State == kStateDisconnected) {
      Message(Format("ALD#%d is disconnected", ald.Address.Load()));
      if (onDisconnected == OnDisconnected::kStop) return;
    } else if (own) {
      own(ald.Address);
    }
    Refresh();
    if (thenWindowAlarms) ui_.Windows.GetAlarms();
  });
}

void AldCommands::SoftwareResetSelected() {
  RunOnSelected("L7 Software Reset", OnDisconnected::kSkipOwn, [this](uint8_t) { ui_.Windows.ResetDevice(); });
}

void AldCommands::SelfTestSelected() {
  RunOnSelected("Self Test", OnDisconnected::kSkipOwn, [this](uint8_t) { ui_.Windows.SelfTest(); });
}

void AldCommands::GetAllSelected() {
  RunOnSelected("Get All", OnDisconnected::kSkipOwn, [this](uint8_t) { ui_.Windows.GetAll(); });
}

void AldCommands::SubscribeAlarmsSelected() {
  RunOnSelected("Subscribe Alarms", OnDisconnected::kSkipOwn,
                [this](uint8_t address) { layer7_.AlarmSubscribe(address); });
}

void AldCommands::GetAlarmsSelected() {
  RunOnSelected("Get Alarms", OnDisconnected::kStop, nullptr, true);
}

void AldCommands::ClearAlarmsSelected() {
  RunOnSelected("Clear Alarms", OnDisconnected::kStop, [this](uint8_t address) {
    if (layer7_.ClearAlarms(address) == kSuccess) ui_.Windows.ClearAlarmBoxes();
  });
}

void AldCommands::ClearAllSelected() {
  if (SelectedSlot(table_) == 0) return Message("No devices present. Please click scan");
  ui_.Windows.ClearDisplay();
}

void AldCommands::Message(const std::string& text) {
  ui_.Messages.ShowMessage("", text, UserMessages::Icon::kNone);
}
