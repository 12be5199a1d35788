#include <nlohmann/json.hpp>
#include <string>

#include "core/FakeClock.h"
#include "sim/SimSite.h"
#include "sim/VirtualBus.h"

// Any site file: loaded or refused with a message, never a crash, and a site
// that loads can be written out again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nlohmann::json site = nlohmann::json::parse(data, data + size, nullptr, false);
  if (site.is_discarded()) return 0;
  FakeClock clock;
  VirtualBus bus(clock);
  SimSite::BusSettings settings;
  std::string error;
  if (!SimSite::FromJson(site, bus, settings, &error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  for (size_t i = 0; i < bus.Count(); ++i) {
    bus.WithDevice(i, [](SimAld& device) { (void)SimSite::DeviceJson(device, false).dump(); });
  }
  return 0;
}
