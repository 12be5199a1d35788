#include <string>

#include "core/Clock.h"
#include "sim/SimFrameReader.h"
#include "sim/SimSite.h"
#include "sim/VirtualBus.h"

namespace {

// A clock that only moves when advanced and goes back to zero for each input.
class InputClock : public Clock {
 public:
  uint64_t NowMs() const override { return now_; }
  void SleepMs(uint32_t ms) override { now_ += ms; }
  void Advance(uint64_t ms) { now_ += ms; }
  void Restart() { now_ = 0; }

 private:
  uint64_t now_ = 0;
};

// The demo site, built once for the run: building it from its JSON took
// nearly all of each input's time. Every input starts with the devices of
// the working bus as the untouched copy has them, and the clock at zero,
// which is how a freshly built site starts. The bus itself keeps nothing
// from one input to the next: no faults are set, so it draws no random
// numbers and has no events scheduled.
//
// An input puts back what it changed before it returns, so that what it
// allocated is freed within it: libFuzzer runs an input again under its leak
// check whenever the input ends with more allocations than it freed. Most
// inputs reach no device (a frame whose check sequence fails reaches nobody,
// and the demo devices start without an address, so they hear broadcasts
// only), and time alone changes nothing in a device that has heard nothing
// since it was restored: the devices are restored only after an input with
// a frame that some device heard.
struct World {
  InputClock clock;
  VirtualBus pristine{clock};
  VirtualBus bus{clock};
  SimFrameReader reader;
  VirtualBus::Answer answer;

  World() {
    SimSite::BusSettings settings;
    std::string error;
    if (!SimSite::FromJson(SimSite::Demo(), pristine, settings, &error)) __builtin_trap();
    if (!SimSite::FromJson(SimSite::Demo(), bus, settings, &error)) __builtin_trap();
  }

  void Restore() {
    for (size_t i = 0; i < bus.Count(); ++i) {
      bus.WithDevice(i, [&](SimAld& device) {
        pristine.WithDevice(i, [&](SimAld& snapshot) {
          if (!device.Restore(snapshot)) __builtin_trap();
        });
      });
    }
  }

  void Run(uint32_t stepMs, const uint8_t* data, size_t size) {
    clock.Restart();
    reader.Reset();
    uint64_t heard = bus.FramesHeard();
    reader.Feed(data, size, [&](const uint8_t* frame, size_t length) {
      clock.Advance(stepMs);
      bus.Handle(frame, length, answer);
      if (answer.OnTime.size() > 4096 || answer.Late.size() > 4096) __builtin_trap();
    });
    if (bus.FramesHeard() != heard) Restore();
  }

  static World& Get() {
    static World* world = new World;
    return *world;
  }
};

}  // namespace

// The simulated bus hearing anything at all from a primary: the demo site's
// devices must answer or stay silent, never fail. The first octet of the
// input spaces the frames in time, so that procedures in progress, address
// time-outs and delayed answers are reached as well.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  World::Get().Run(1u << (data[0] % 18), data + 1, size - 1);
  return 0;
}
