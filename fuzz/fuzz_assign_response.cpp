#include <cstring>

#include "FuzzLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzWorld& w = FuzzWorld::Get();
  w.link.SetAnswer(data, size);
  AldRecord& ald = w.table.Record(1);
  AldTable::Reset(ald);
  std::memcpy(ald.UniqueId, "KA00000001", 10);
  ald.UniqueIdLength = 10;
  w.link.AssignAddress(1);
  if (ald.Address != 1) __builtin_trap();
  return 0;
}
