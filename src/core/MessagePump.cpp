#include "core/MessagePump.h"

#include <mutex>

namespace {
std::mutex& HookMutex() {
  static std::mutex m;
  return m;
}
std::function<void()>& Hook() {
  static std::function<void()> hook;
  return hook;
}
}  // namespace

void PumpMessages() {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(HookMutex());
    hook = Hook();
  }
  if (hook) hook();
}

void SetPumpMessagesHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(HookMutex());
  Hook() = std::move(hook);
}
