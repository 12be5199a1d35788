#include "core/MessagePump.h"

#include <mutex>
#include <thread>

namespace {

struct PumpHook {
  std::mutex Mutex;
  std::function<void()> Hook;
  std::thread::id Thread;
};

PumpHook& Installed() {
  static PumpHook hook;
  return hook;
}

}  // namespace

void PumpMessages() {
  PumpHook& installed = Installed();
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(installed.Mutex);
    if (installed.Thread != std::this_thread::get_id()) return;
    hook = installed.Hook;
  }
  if (hook) hook();
}

void SetPumpMessagesHook(std::function<void()> hook) {
  PumpHook& installed = Installed();
  std::lock_guard<std::mutex> lock(installed.Mutex);
  installed.Hook = std::move(hook);
  installed.Thread = std::this_thread::get_id();
}
