#include "bus/AldListModel.h"

#include <algorithm>
#include <set>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldAlarmRead.h"
#include "bus/AldSetup.h"
#include "bus/DeviceWindows.h"
#include "core/Format.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"

AldListModel::AldListModel(AisgLayer7& layer7, BusView& view, DeviceWindows& windows)
    : layer7_(layer7), table_(layer7.Alds()), log_(layer7.Log()), view_(view), windows_(windows) {}

std::string AldListModel::RowKey(size_t row) const {
  const Row& r = rows_.at(row);
  return r.Subunit == 0 ? Format("%u", r.Slot) : Format("%u.%u", r.Slot, r.Subunit);
}

int AldListModel::FindRow(uint8_t slot, uint8_t subunit) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].Slot == slot && rows_[i].Subunit == subunit) return static_cast<int>(i);
  }
  return -1;
}

int AldListModel::FirstRowOf(uint8_t slot) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].Slot == slot) return static_cast<int>(i);
  }
  return -1;
}

unsigned AldListModel::ListedAldCount() const {
  std::set<uint8_t> slots;
  for (const Row& r : rows_) slots.insert(r.Slot);
  return static_cast<unsigned>(slots.size());
}

// A port failure does not leave the ALD half listed: its rows, its
// properties and its window are made all the same, and the failure is
// raised at the end.
void AldListModel::AddAldRow(uint8_t slot) {
  failure_.reset();
  table_.SelectAld(slot);
  Attempt([&] { LearnSubunitCount(slot); });
  AppendRows(slot);
  const AldRecord& ald = table_.Record(slot);
  view_.ShowAldProperties(slot, PropertiesOf(slot));
  log_.Write(kTraceInfo, TraceClass::kMain, slot, "Adding ALD");
  windows_.OpenWindow(slot);
  windows_.ShowDeviceType(ald.DeviceType);
  Attempt([&] { windows_.RefreshAllSubunits(); });
  view_.SetAldStatus(slot, AldSetup::StatusText(ald));
  if (failure_) throw *failure_;
}

template <class F>
void AldListModel::Attempt(F&& f) {
  if (failure_) return;
  try {
    f();
  } catch (const ECommError& error) {
    failure_ = error;
  }
}

// The scan does not learn how many antennas or TMA subunits an ALD has, so
// a connected multi RET or TMA is asked before its rows are made; otherwise
// it would get one row however many subunits it has. The count is asked
// again when it fails, and an ALD whose count stays unknown says so.
void AldListModel::LearnSubunitCount(uint8_t slot) {
  AldRecord& ald = table_.Record(slot);
  if (!IsLinkUp(ald) || (ald.DeviceType != kAldMultiRet && ald.DeviceType != kAldTma)) return;
  uint8_t count = 0;
  ResultCode r = AldSetup::Retried([&] {
    return ald.DeviceType == kAldMultiRet ? layer7_.MultiRetGetNumberAntennas(ald.Address, count)
                                          : layer7_.TmaGetNumberSubunits(ald.Address, count);
  });
  if (r != kSuccess) {
    AldSetup::Failed(log_, ald, slot, kSetupSubunits, r);
    return;
  }
  ald.SubunitCount = std::min<uint8_t>(count, AldRecord::kMaxSubunits);
  if (ald.SetupStep == kSetupSubunits) AldSetup::Completed(ald);
}

// One row keyed by the slot, or one per subunit keyed by slot and subunit.
void AldListModel::AppendRows(uint8_t slot) {
  uint8_t count = table_.Record(slot).SubunitCount;
  uint8_t first = count < 2 ? 0 : 1;
  uint8_t last = count < 2 ? 0 : count;
  for (uint8_t s = first; s <= last; ++s) AppendRow(slot, s);
}

void AldListModel::AppendRow(uint8_t slot, uint8_t subunit) {
  rows_.push_back({slot, subunit});
  size_t row = rows_.size() - 1;
  view_.RowAdded(row, RowKey(row));
  Attempt([&] { ReadRowAlarms(rows_[row]); });
  ShowRow(row, true);
}

void AldListModel::UpdateAldRows(uint8_t slot, uint8_t subunit) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    const Row& r = rows_[i];
    if (r.Slot != slot) continue;
    if (subunit == kAllSubunits || r.Subunit == subunit || r.Subunit == 0) FillRow(i, false);
  }
}

void AldListModel::ShowAldRows(uint8_t slot) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].Slot == slot) ShowRow(i, false);
  }
}

void AldListModel::Clear() {
  rows_.clear();
  view_.RowsCleared();
}

// The alarm read refreshes the subunit's alarm list before the row shows
// the ALD's state.
void AldListModel::FillRow(size_t row, bool adding) {
  ReadRowAlarms(rows_.at(row));
  ShowRow(row, adding);
}

void AldListModel::ShowRow(size_t row, bool adding) {
  Row r = rows_.at(row);
  const AldRecord& ald = table_.Record(r.Slot);
  BusView::RowContents contents;
  contents.Icon = RowIcon(ald.State, adding);
  contents.Key = RowKey(row);
  contents.UniqueId = table_.UniqueIdText(r.Slot);
  contents.Tilt = TiltText(ald, r.Subunit);
  view_.RowFilled(row, contents);
}

// An ALD without a link is not asked: nobody would answer.
void AldListModel::ReadRowAlarms(const Row& row) {
  AldRecord& ald = table_.Record(row.Slot);
  if (IsLinkUp(ald)) ReadAldAlarms(layer7_, ald, row.Subunit);
}

BusView::AldProperties AldListModel::PropertiesOf(uint8_t slot) const {
  const AldRecord& ald = table_.Record(slot);
  return {table_.UniqueIdText(slot), AldSetup::StatusText(ald), Vocabulary::AldTypeText(ald.DeviceType),
          Vocabulary::AisgVersionText(ald.AisgVersion)};
}

int AldListModel::RowIcon(uint8_t state, bool adding) {
  if (state == kStateConnected) return 1;
  if (adding) return 0;
  if (state == kStateCalibrating) return 2;
  if (state == kStateDisconnected) return 3;
  return 0;
}

std::string AldListModel::TiltText(const AldRecord& ald, uint8_t subunit) {
  if (ald.DeviceType != kAldSingleRet && ald.DeviceType != kAldMultiRet) return "";
  int element = ald.DeviceType == kAldSingleRet ? 0 : std::clamp<int>(subunit, 1, AldRecord::kMaxSubunits) - 1;
  const DeviceData& data = ald.Subunits[element].Data;
  if (data.TiltValid == 0) return "ERROR";
  return Format("%.1f", data.Tilt / 10.0);
}
