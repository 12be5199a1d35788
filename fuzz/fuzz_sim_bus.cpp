#include <string>

#include "core/FakeClock.h"
#include "sim/SimFrameReader.h"
#include "sim/SimSite.h"
#include "sim/VirtualBus.h"

// The simulated bus hearing anything at all from a primary: the demo site's
// devices must answer or stay silent, never fail. The first octet of the
// input spaces the frames in time, so that procedures in progress, address
// time-outs and delayed answers are reached as well.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  FakeClock clock;
  VirtualBus bus(clock);
  SimSite::BusSettings settings;
  std::string error;
  if (!SimSite::FromJson(SimSite::Demo(), bus, settings, &error)) __builtin_trap();
  SimFrameReader reader;
  uint32_t stepMs = 1u << (data[0] % 18);
  for (const auto& frame : reader.Feed(data + 1, size - 1)) {
    clock.Advance(stepMs);
    VirtualBus::Answer answer = bus.Handle(frame.data(), frame.size());
    if (answer.OnTime.size() > 4096 || answer.Late.size() > 4096) __builtin_trap();
  }
  return 0;
}
