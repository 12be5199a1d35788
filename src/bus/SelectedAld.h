#pragma once

#include <cstdint>

#include "ald/AldTable.h"

// The slot of the current ALD, or 0 when none is selected. Slot 0 is the
// scan's scratch record and never counts as a selection.
inline uint8_t SelectedSlot(const AldTable& table) {
  uint8_t index = table.CurrentAldIndex();
  return index == AldTable::kNoSelection || index > AldTable::kMaxAld ? 0 : index;
}
