#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "bus/UserMessages.h"

// Message boxes that only remember what they were to show. Thread-safe, as
// the worker reports through them.
class RecordingMessages : public UserMessages {
 public:
  struct Shown {
    std::string Title;
    std::string Text;
    Icon Kind;
  };
  void ShowMessage(const std::string& title, const std::string& text, Icon icon) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.push_back({title, text, icon});
  }
  std::vector<Shown> All() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }
  std::vector<std::string> Texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const Shown& s : shown_) out.push_back(s.Text);
    return out;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Shown> shown_;
};
