#include "FuzzLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzWorld& w = FuzzWorld::Get();
  w.link.SetAnswer(data, size);
  AldRecord& ald = w.table.Record(1);
  ald.AisgVersion = 0xFF;
  ResultCode r = w.link.ProtocolVersion(1);
  uint8_t v = ald.AisgVersion;
  if (r == kSuccess ? (v != 1 && v != 2) : v != 0xFF) __builtin_trap();
  return 0;
}
