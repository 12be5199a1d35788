#include "core/MessageBox.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "core/Format.h"

namespace {
std::mutex& HookMutex() {
  static std::mutex m;
  return m;
}
std::function<void(const std::string&)>& Hook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}
}  // namespace

void ShowMessageBox(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard<std::mutex> lock(HookMutex());
    hook = Hook();
  }
  if (hook) {
    hook(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

void SetMessageBoxHook(std::function<void(const std::string&)> hook) {
  std::lock_guard<std::mutex> lock(HookMutex());
  Hook() = std::move(hook);
}
