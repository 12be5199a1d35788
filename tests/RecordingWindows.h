#pragma once

#include <algorithm>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "bus/DeviceWindows.h"
#include "core/Format.h"
#include "layer7/Vocabulary.h"

// Device windows that only record what they were asked to do, in order
// ("OpenWindow 3", "ShowResult Timeout", ...). Thread-safe, as the worker
// calls some of them.
class RecordingWindows : public DeviceWindows {
 public:
  bool HasWindow(uint8_t slot) const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return windows_.count(slot) != 0;
  }
  void LoadAld(uint8_t slot) override { Record(Format("LoadAld %u", slot)); }
  void EnableCommands(uint8_t slot, bool on) override { Record(Format("EnableCommands %u %d", slot, on)); }
  bool HasActiveWindow() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_ != 0;
  }
  void OpenWindow(uint8_t slot) override {
    Record(Format("OpenWindow %u", slot));
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.insert(slot);
    active_ = slot;
  }
  void CloseAll() override {
    Record("CloseAll");
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.clear();
    active_ = 0;
  }
  void ShowDeviceType(uint8_t type) override { Record(Format("ShowDeviceType %u", type)); }
  void RefreshAllSubunits() override { Record("RefreshAllSubunits"); }
  void RefreshAld() override { Record("RefreshAld"); }
  void GetAlarms() override { Record("GetAlarms"); }
  void ResetDevice() override { Record("ResetDevice"); }
  void SelfTest() override { Record("SelfTest"); }
  void GetAll() override { Record("GetAll"); }
  void ClearDisplay() override { Record("ClearDisplay"); }
  void ShowAlarmText(const std::string& text) override { Record("ShowAlarmText " + text); }
  void ShowResult(ResultCode r) override { Record("ShowResult " + Vocabulary::ResultName(r)); }
  void ShowAlarmStatus(const std::string& text, bool alarmed) override {
    Record(Format("ShowAlarmStatus %s %s", text.c_str(), alarmed ? "red" : "normal"));
  }
  void ClearAlarmBoxes() override { Record("ClearAlarmBoxes"); }
  void EnableRetTab(bool on) override { Record(Format("EnableRetTab %d", on)); }

  // Makes a window exist without the bus having opened it.
  void Open(uint8_t slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.insert(slot);
    active_ = slot;
  }
  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  size_t CountOf(const std::string& call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(std::count(calls_.begin(), calls_.end(), call));
  }
  void Forget() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
  }

 private:
  void Record(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
  }

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::set<uint8_t> windows_;
  uint8_t active_ = 0;
};
