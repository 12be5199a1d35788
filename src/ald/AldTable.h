#pragma once

#include <array>
#include <string>

#include "ald/AldRecord.h"
#include "core/Relaxed.h"

class TraceLog;

// The 255 slots of ALD records. Slot 0 is the scan's scratch record; slots
// 1 to 254 hold ALDs, and a slot number is also the ALD's number and address.
class AldTable {
 public:
  static constexpr unsigned kSlots = 255;
  static constexpr unsigned kMaxAld = 254;
  static constexpr unsigned kNoSlot = 0;  // what a failed insert or search gives
  static constexpr uint8_t kNoSelection = 0xFF;

  explicit AldTable(TraceLog& log);
  static AldTable& Instance();

  static void Reset(AldRecord& record);
  void ResetAll();

  // The record of a slot; a number past the table gives the scratch record,
  // so a bad number never reaches memory outside the table.
  AldRecord& Record(unsigned index);
  const AldRecord& Record(unsigned index) const;
  AldRecord& Scratch() { return slots_[0]; }

  // First slot 1..254 in use whose identifier has this length and these
  // octets; kNoSlot when none. Identifiers are octets from the wire: a NUL
  // is a character like any other.
  unsigned FindUniqueId(const char* uniqueId, unsigned length) const;
  // Lowest free slot 1..254; kNoSlot when the table is full.
  unsigned FirstFreeSlot() const;
  // Copies the record into the first free slot as DISCOVERED; kNoSlot (and an
  // error trace) when every slot is in use.
  unsigned Insert(const AldRecord& scratch);
  // Number of slots holding an ALD.
  unsigned AldCount() const;
  std::string UniqueIdText(unsigned index) const;

  void SelectAld(unsigned index);
  void SelectSubunit(unsigned n);
  uint8_t CurrentAldIndex() const { return currentIndex_; }
  // Null when nothing is selected.
  AldRecord* CurrentAld();
  AldSubunit* CurrentSubunit();
  DeviceData* CurrentDeviceData();

 private:
  TraceLog& log_;
  std::array<AldRecord, kSlots> slots_;
  Relaxed<uint8_t> currentIndex_ = kNoSelection;
  Relaxed<uint8_t> currentElement_ = 0;
};
