#include "ald/AldTable.h"

#include <cstring>

#include "ald/AldType.h"
#include "core/TraceLog.h"

AldTable::AldTable(TraceLog& log) : log_(log) {
  ResetAll();
}

AldTable& AldTable::Instance() {
  static AldTable* table = new AldTable(TraceLog::Instance());
  return *table;
}

void AldTable::Reset(AldRecord& record) {
  record = AldRecord();
}

void AldTable::ResetAll() {
  for (auto& record : slots_) Reset(record);
}

AldRecord& AldTable::Record(unsigned index) {
  return index < kSlots ? slots_[index] : slots_[0];
}

const AldRecord& AldTable::Record(unsigned index) const {
  return index < kSlots ? slots_[index] : slots_[0];
}

unsigned AldTable::FindUniqueId(const char* uniqueId, unsigned length) const {
  if (length == 0 || length > AldRecord::kUniqueIdMax) return kNoSlot;
  for (unsigned i = 1; i <= kMaxAld; ++i) {
    const AldRecord& r = slots_[i];
    if (r.InUse == 0 || r.UniqueIdLength != length) continue;
    if (std::memcmp(r.UniqueId, uniqueId, length) == 0) return i;
  }
  return kNoSlot;
}

unsigned AldTable::FirstFreeSlot() const {
  for (unsigned i = 1; i <= kMaxAld; ++i) {
    if (slots_[i].InUse == 0) return i;
  }
  return kNoSlot;
}

unsigned AldTable::Insert(const AldRecord& scratch) {
  unsigned slot = FirstFreeSlot();
  if (slot == kNoSlot) {
    log_.Write(kTraceError, TraceClass::kMain, 0, "ALD table full: %u ALDs known, '%s' left out", kMaxAld,
               scratch.UniqueId);
    return kNoSlot;
  }
  slots_[slot] = scratch;
  slots_[slot].InUse = 1;
  slots_[slot].State = kStateDiscovered;
  return slot;
}

unsigned AldTable::AldCount() const {
  unsigned count = 0;
  for (unsigned i = 1; i <= kMaxAld; ++i) count += slots_[i].InUse != 0;
  return count;
}

std::string AldTable::UniqueIdText(unsigned index) const {
  const AldRecord& r = Record(index);
  return std::string(r.UniqueId, strnlen(r.UniqueId, AldRecord::kUniqueIdMax));
}

void AldTable::SelectAld(unsigned index) {
  currentIndex_ = index < kSlots ? static_cast<uint8_t>(index) : kNoSelection;
  currentElement_ = 0;
}

void AldTable::SelectSubunit(unsigned n) {
  AldRecord* ald = CurrentAld();
  if (!ald) return;
  bool hasSubunits = ald->DeviceType == kAldTma || ald->DeviceType == kAldMultiRet;
  if (hasSubunits && n >= 1 && n <= AldRecord::kMaxSubunits) {
    ald->SelectedSubunit = static_cast<uint8_t>(n);
    currentElement_ = static_cast<uint8_t>(n - 1);
  } else {
    ald->SelectedSubunit = 0;
    currentElement_ = 0;
  }
}

AldRecord* AldTable::CurrentAld() {
  uint8_t index = currentIndex_;
  return index == kNoSelection ? nullptr : &slots_[index];
}

AldSubunit* AldTable::CurrentSubunit() {
  AldRecord* ald = CurrentAld();
  return ald ? &ald->Subunits[currentElement_] : nullptr;
}

DeviceData* AldTable::CurrentDeviceData() {
  AldSubunit* sub = CurrentSubunit();
  return sub ? &sub->Data : nullptr;
}
