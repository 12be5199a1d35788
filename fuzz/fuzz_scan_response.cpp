#include <cstring>

#include "FuzzLink.h"

// Any answer to a device scan: the scratch record must stay a valid record
// (a terminated identifier of at most 19 characters).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzWorld& w = FuzzWorld::Get();
  w.link.SetAnswer(data, size);
  AldRecord& scratch = w.table.Scratch();
  AldTable::Reset(scratch);
  const uint8_t pattern[2] = {0, 0};
  w.link.XidScan(pattern, pattern, 2, &scratch);
  if (scratch.UniqueId[AldRecord::kUniqueIdMax] != 0 || scratch.UniqueIdLength > AldRecord::kUniqueIdMax)
    __builtin_trap();
  return 0;
}
