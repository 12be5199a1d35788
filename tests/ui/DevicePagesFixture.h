#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <deque>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "DeviceWindowsFixture.h"
#include "core/MessageBox.h"
#include "ui/DeviceTabs.h"
#include "ui/FieldTabs.h"
#include "ui/RetOperationPage.h"
#include "ui/TmaOperationPage.h"

// Device windows with their pages over the in-process simulated bus: the
// file choices come from a queue, message boxes of the core and of the
// windows are recorded together, calibrate all and the reconnection after
// a firmware download run the station's own commands, and pauses are
// instant.
class DevicePagesBench : public DeviceWindowsBench {
 public:
  explicit DevicePagesBench(const json& site) : DeviceWindowsBench(site) {
    SetMessageBoxHook([this](const std::string& text) { messages.ShowMessage("", text, UserMessages::Icon::kNone); });
    DeviceWindowHooks hooks;
    hooks.ChooseFile = [this]() -> std::optional<std::string> {
      ++choices;
      if (chosen.empty()) return std::nullopt;
      std::optional<std::string> path = chosen.front();
      chosen.pop_front();
      return path;
    };
    hooks.CalibrateAll = [this] { station.Commands().CalibrateAllRets(); };
    // The device restarts after a download; the program waits ten seconds.
    hooks.AfterFirmware = [this] {
      ++reconnects;
      clock.SleepMs(10000);
      station.Commands().ReaddressSelected();
    };
    hooks.Pause = [](int) {};
    windows.SetHooks(hooks);
  }
  ~DevicePagesBench() override { SetMessageBoxHook(nullptr); }

  RetOperationPage& Ret(uint8_t slot) { return *Window(slot).RetPage(); }
  TmaOperationPage& Tma(uint8_t slot) { return *Window(slot).TmaPage(); }
  QPushButton* RetButton(uint8_t slot, int id) { return Ret(slot).Button(id); }
  QPushButton* TmaButton(uint8_t slot, int id) { return Tma(slot).Button(id); }

  // The simulator's own view of a device and of one of its subunits.
  json DeviceState(const std::string& uniqueId) {
    json state = json::parse(bus.StateJson().dump());
    for (const json& d : state["devices"]) {
      if (d["uniqueId"] == uniqueId) return d;
    }
    qFatal("no device %s", uniqueId.c_str());
  }
  json DeviceStateAt(size_t index) { return json::parse(bus.StateJson().dump())["devices"][index]; }
  json SubunitState(const std::string& uniqueId, int n) { return DeviceState(uniqueId)["subunits"][n - 1]; }

  // A file of the given octets in the test's folder.
  std::string File(const std::string& name, const std::vector<uint8_t>& octets) {
    std::string path = dir.File(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(octets.data()), static_cast<std::streamsize>(octets.size()));
    return path;
  }
  std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::deque<std::optional<std::string>> chosen;
  int choices = 0;
  int reconnects = 0;
};
