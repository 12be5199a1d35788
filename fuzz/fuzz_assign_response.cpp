#include <cstring>

#include "FuzzLink.h"
#include "ald/AldType.h"

// The ALD takes the address only from an answer that names it, and then
// always with its slot number; a success always took it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzWorld& w = FuzzWorld::Get();
  w.link.SetAnswer(data, size);
  AldRecord& ald = w.table.Record(1);
  AldTable::Reset(ald);
  std::memcpy(ald.UniqueId, "KA00000001", 10);
  ald.UniqueIdLength = 10;
  ResultCode r = w.link.AssignAddress(1);
  bool addressed = ald.State == kStateAddressed;
  if (addressed != (ald.Address == 1)) __builtin_trap();
  if (r == kSuccess && !addressed) __builtin_trap();
  return 0;
}
