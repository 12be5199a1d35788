#pragma once

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "bus/BusView.h"
#include "bus/DeviceWindows.h"
#include "bus/UserMessages.h"
#include "core/Format.h"
#include "layer7/Vocabulary.h"

// Stand-ins for the main window's panes: they keep what the bus showed.
class RecordingView : public BusView {
 public:
  void SetStatusText(const std::string& text) override { status.push_back(text); }
  void RowAdded(size_t row, const std::string& key) override {
    if (row != keys.size()) throw std::logic_error("rows are appended in order");
    keys.push_back(key);
    contents.emplace_back();
  }
  void RowFilled(size_t row, const RowContents& c) override {
    if (keys.at(row) != c.Key) throw std::logic_error("a row keeps its key");
    contents.at(row) = c;
    ++fills;
  }
  void RowsCleared() override {
    keys.clear();
    contents.clear();
    ++clears;
  }
  void RefreshListToolbar() override { ++toolbarRefreshes; }
  void ShowAldProperties(uint8_t slot, const AldProperties& p) override {
    shown.insert(slot);
    properties[slot] = p;
  }
  void SetAldStatus(uint8_t slot, const std::string& status) override { properties[slot].Status = status; }
  void HideAldProperties(uint8_t slot) override {
    hidden.push_back(slot);
    shown.erase(slot);
    properties.erase(slot);
    if (failHide) throw std::runtime_error("group gone");
  }
  void SelectAldEntry(uint8_t slot) override { selectedEntries.push_back(slot); }
  void RefreshDocumentLinks() override { ++documentRefreshes; }
  void ActivateAldList() override { ++activations; }

  std::string LastStatus() const { return status.empty() ? std::string("<none>") : status.back(); }

  std::vector<std::string> status;
  std::vector<std::string> keys;
  std::vector<RowContents> contents;
  int fills = 0;
  int clears = 0;
  int toolbarRefreshes = 0;
  std::set<uint8_t> shown;
  std::map<uint8_t, AldProperties> properties;
  std::vector<uint8_t> hidden;
  std::vector<uint8_t> selectedEntries;
  int documentRefreshes = 0;
  int activations = 0;
  bool failHide = false;
};

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
