#include "bus/BusCommands.h"

#include <exception>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldListModel.h"
#include "bus/BusTicker.h"
#include "bus/CommFailureReporter.h"
#include "bus/PollControl.h"
#include "bus/ScanControl.h"
#include "bus/ScanEngine.h"
#include "bus/SelectedAld.h"
#include "bus/UiWorkQueue.h"
#include "core/Clock.h"
#include "core/Format.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"
#include "link/AisgHdlc.h"

namespace {

constexpr int kAssignRepeats = 5;
constexpr uint32_t kAssignPauseMs = 100;
constexpr uint32_t kReconnectStepMs = 500;
constexpr uint32_t kReconnectSettleMs = 2000;

}  // namespace

BusCommands::BusCommands(AisgLayer7& layer7, ScanEngine& engine, ScanControl& control, PollControl& polls,
                         UiWorkQueue& uiWork, AldListModel& list, BusTicker& ticker, BusUi ui,
                         CommFailureReporter& failures)
    : layer7_(layer7),
      link_(layer7.Link()),
      table_(layer7.Alds()),
      log_(layer7.Log()),
      clock_(layer7.Time()),
      engine_(engine),
      control_(control),
      polls_(polls),
      uiWork_(uiWork),
      list_(list),
      ticker_(ticker),
      ui_(ui),
      failures_(failures) {}

template <class F>
ResultCode BusCommands::Guarded(const char* activity, F&& f) {
  ResultCode r = kFailure;
  failures_.Guard(activity, [&] { r = f(); });
  return r;
}

void BusCommands::BroadcastReset() {
  failures_.Guard("the bus reset", [this] { ResetBus(); });
}

// No scan runs or starts until the table is reset: an ALD addressed after
// the reset request would keep its address yet be gone from the table, and
// no later scan would find it again. A pending Start Scan is cancelled. No
// poll runs either, and what an earlier poll left for the windows is
// dropped with them.
void BusCommands::ResetBus() {
  ui_.Windows.CloseAll();
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Broadcast reset request");
  HoldBus();
  try {
    ResetHeldBus();
  } catch (...) {
    ReleaseBus();
    throw;
  }
  ReleaseBus();
}

void BusCommands::HoldBus() {
  control_.HoldScans();
  polls_.Hold();
  uiWork_.Discard();
}

void BusCommands::ReleaseBus() {
  polls_.Release();
  control_.ReleaseScans();
}

void BusCommands::ResetHeldBus() {
  link_.ResetRequest();
  HideListedProperties();
  ticker_.ForgetFoundCount();
  table_.SelectAld(AldTable::kNoSelection);
  list_.Clear();
  engine_.Reset();
}

void BusCommands::HideListedProperties() {
  for (unsigned i = 1; i <= table_.AldCount(); ++i) {
    try {
      ui_.View.HideAldProperties(static_cast<uint8_t>(i));
    } catch (const std::exception&) {
      // A group that cannot be hidden is left as it is; the reset goes on.
    }
  }
}

uint8_t BusCommands::SelectedOrWarn() {
  uint8_t slot = SelectedSlot(table_);
  if (slot == 0) log_.Write(kTraceWarning, TraceClass::kMain, 0, "You must select a device first!");
  return slot;
}

ResultCode BusCommands::AssignSelected() {
  return Guarded("Assign Address", [this] {
    uint8_t slot = SelectedOrWarn();
    return slot == 0 ? kInvalidState : Assign(slot);
  });
}

// All five requests go out whatever the first ones returned.
ResultCode BusCommands::Assign(uint8_t slot) {
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Assigning ALD's addresses");
  ResultCode r = kSuccess;
  for (int i = 0; i < kAssignRepeats; ++i) {
    r = link_.AssignAddress(slot);
    clock_.SleepMs(kAssignPauseMs);
    if (r == kTimeout) table_.Record(slot).State = kStateDisconnected;
  }
  return r;
}

ResultCode BusCommands::VersionSelected() {
  return Guarded("Get Version", [this] {
    uint8_t slot = SelectedOrWarn();
    if (slot == 0) return kInvalidState;
    uint8_t address = table_.Record(slot).Address;
    log_.Write(kTraceInfo, TraceClass::kMain, address, "Getting ALD's version");
    return link_.ProtocolVersion(address);
  });
}

ResultCode BusCommands::ConnectSelected() {
  return Guarded("Connect", [this] { return LinkStep("Connecting ALD's", true); });
}

ResultCode BusCommands::DisconnectSelected() {
  return Guarded("Disconnect", [this] { return LinkStep("Disconnecting ALD's", false); });
}

ResultCode BusCommands::LinkStep(const char* text, bool connect) {
  uint8_t slot = SelectedOrWarn();
  if (slot == 0) return kInvalidState;
  uint8_t address = table_.Record(slot).Address;
  log_.Write(kTraceInfo, TraceClass::kMain, address, "%s", text);
  ResultCode r = connect ? link_.Connect(address) : link_.Disconnect(address);
  ui_.View.ShowAldProperties(slot, list_.PropertiesOf(slot));
  list_.UpdateAldRows(slot, AldListModel::kAllSubunits);
  return r;
}

ResultCode BusCommands::ReaddressSelected() {
  ResultCode r = AssignSelected();
  if (r == kSuccess) r = VersionSelected();
  if (r == kSuccess) r = ConnectSelected();
  if (r == kSuccess && ui_.Windows.HasActiveWindow()) {
    if (!failures_.Guard("Refresh ALD", [this] { ui_.Windows.RefreshAld(); })) r = kFailure;
  }
  return r;
}

void BusCommands::CalibrateAllRets() {
  failures_.Guard("Calibrate all RETs", [this] {
    log_.Write(kTraceInfo, TraceClass::kMain, 0, "Calibrate all RETs");
    for (unsigned i = 1; i <= table_.AldCount(); ++i) {
      uint8_t slot = static_cast<uint8_t>(i);
      table_.SelectAld(slot);
      uint8_t type = table_.Record(slot).DeviceType;
      if (type == kAldSingleRet) CalibrateSingleRet(slot);
      if (type == kAldMultiRet) CalibrateMultiRet(slot);
    }
    ui_.View.RefreshListToolbar();
  });
}

void BusCommands::CalibrateSingleRet(uint8_t slot) {
  MarkCalibrating(slot, 0);
  log_.Write(kTraceInfo, TraceClass::kMain, slot, "[Sub: -] Calibrating");
  ui_.Windows.EnableRetTab(false);
  ResultCode r;
  try {
    r = layer7_.RetCalibrate(slot);
  } catch (...) {
    ui_.Windows.EnableRetTab(true);
    throw;
  }
  ui_.Windows.EnableRetTab(true);
  log_.Write(kTraceInfo, TraceClass::kMain, slot, "[Sub: -] Calibration Done %s", Vocabulary::ResultName(r).c_str());
  AfterCalibration(slot, 0);
}

void BusCommands::CalibrateMultiRet(uint8_t slot) {
  uint8_t count = table_.Record(slot).SubunitCount;
  for (uint8_t s = 1; s <= count; ++s) {
    MarkCalibrating(slot, s);
    log_.Write(kTraceInfo, TraceClass::kMain, slot, "[Sub: %d] Calibrating", s);
    ResultCode r = layer7_.MultiRetCalibrate(slot, s);
    log_.Write(kTraceInfo, TraceClass::kMain, slot, "[Sub: %d] Calibration Done %s", s,
               Vocabulary::ResultName(r).c_str());
    AfterCalibration(slot, s);
  }
}

// The properties entry is chosen by the slot's window, not by position,
// which stops matching the slot once windows are missing.
void BusCommands::MarkCalibrating(uint8_t slot, uint8_t subunit) {
  ui_.View.SelectAldEntry(slot);
  table_.Record(slot).State = kStateCalibrating;
  list_.UpdateAldRows(slot, subunit);
}

void BusCommands::AfterCalibration(uint8_t slot, uint8_t subunit) {
  if (!ui_.Windows.HasActiveWindow()) return;
  ui_.Windows.GetAlarms();
  list_.UpdateAldRows(slot, subunit);
}

void BusCommands::ReconnectSelected() {
  failures_.Guard("Reconnect Device", [this] {
    uint8_t slot = SelectedSlot(table_);
    if (slot == 0) {
      ui_.Messages.ShowMessage("", "No devices present. Please click scan", UserMessages::Icon::kNone);
      return;
    }
    uint8_t address = table_.Record(slot).Address;
    if (table_.Record(slot).State != kStateDisconnected) {
      log_.Write(kTraceInfo, TraceClass::kMain, address, "ALD is already connected");
      ui_.Messages.ShowMessage("", Format("ALD#%d is already connected", address), UserMessages::Icon::kNone);
    } else {
      Reconnect(slot);
    }
    PumpMessages();
  });
}

void BusCommands::Reconnect(uint8_t slot) {
  AldRecord& ald = table_.Record(slot);
  uint8_t address = ald.Address;
  link_.Disconnect(address);
  clock_.SleepMs(kReconnectStepMs);
  layer7_.SoftwareReset(address);
  clock_.SleepMs(kReconnectStepMs);
  if (link_.AssignAddress(slot) == kTimeout) ald.State = kStateDisconnected;
  ResultCode r = link_.Connect(ald.Address);
  clock_.SleepMs(kReconnectSettleMs);
  if (r != kSuccess) {
    log_.Write(kTraceInfo, TraceClass::kMain, address, "Unable to reconnect");
    ui_.Messages.ShowMessage("", "Unable to reconnect", UserMessages::Icon::kNone);
    return;
  }
  ui_.Windows.RefreshAllSubunits();
  ui_.Windows.EnableCommands(slot, true);
  log_.Write(kTraceInfo, TraceClass::kMain, address, "Reconnected Successfully");
  ui_.Messages.ShowMessage("", Format("Reconnected ALD#%d Successfully", address), UserMessages::Icon::kNone);
}
