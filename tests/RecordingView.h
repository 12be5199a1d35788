#pragma once

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "bus/BusView.h"

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
    if (onHide) onHide();
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
  std::function<void()> onHide;
};
