#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "BusRecorders.h"
#include "Hex.h"
#include "SimHdlc.h"
#include "TempDir.h"
#include "YieldClock.h"
#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/BusStation.h"
#include "core/FakeClock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "link/HdlcCodec.h"
#include "serial/ECommError.h"
#include "sim/SimLink.h"
#include "sim/SimSingleRet.h"
#include "sim/SimSite.h"
#include "sim/VirtualBus.h"

// A primary station (the bus side of it) over a simulated bus, with the
// user interface replaced by recorders and every wait on a fake clock. The
// worker thread, when a test starts it, looks without real waits and
// without moving the devices' clock.
class StationTest : public ::testing::Test {
 protected:
  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  FakeClock clock;
  VirtualBus bus{clock};
  SimHdlc link{log, table, bus};
  AisgLayer7 layer7{link, table, log, clock};
  RecordingView view;
  RecordingWindows windows;
  RecordingMessages messages;
  ScanOptions scanOptions;
  PollOptions pollOptions;
  std::vector<std::string> debug;
  // Answers that overlap on the line, as on RS-485: the octets are ANDed.
  VirtualBus::Collisions collisions = VirtualBus::Collisions::kGarble;
  YieldClock idle;
  BusStation station{layer7, BusUi{view, windows, messages}, [this] { return scanOptions; },
                     [this] { return pollOptions; }, &idle};
  ScanEngine& engine = station.Engine();

  void SetUp() override {
    engine.SetDebugOutput([this](const std::string& text) { debug.push_back(text); });
  }

  using json = nlohmann::json;

  // RETs come calibrated, so that their alarm status reads clean.
  static json Device(const std::string& type, const std::string& uniqueId, int subunits = 1) {
    json subunit = type == "tma" ? json::object() : json{{"calibrated", true}};
    json list = json::array();
    for (int i = 0; i < subunits; ++i) list.push_back(subunit);
    return {{"type", type}, {"uniqueId", uniqueId}, {"subunits", list}};
  }
  void AddDevices(const std::vector<json>& devices) {
    json site = json::object();
    site["devices"] = json::array();
    for (const json& d : devices) site["devices"].push_back(d);
    AddSite(site);
  }
  void AddSite(const json& site) {
    SimSite::BusSettings settings;
    std::string error;
    ASSERT_TRUE(SimSite::FromJson(site, bus, settings, &error)) << error;
    bus.SetCollisions(collisions);
  }
  // A calibrated single RET whose identifier may hold any octets, NULs too
  // (site files take printable identifiers only).
  void AddRawRet(const std::string& uniqueId) {
    SimDeviceConfig config;
    config.UniqueId = uniqueId;
    config.VendorCode = uniqueId.substr(0, 2);
    SimSubunit antenna;
    antenna.Calibrated = true;
    bus.Add(std::make_unique<SimSingleRet>(config, std::vector<SimSubunit>{antenna}));
    bus.SetCollisions(collisions);
  }
  // Single RETs of a few vendors whose serial numbers differ in their
  // middle and last characters, as on a real site.
  static std::vector<json> ManyRets(int count) {
    static const char* const kVendors[] = {"KA", "AN", "CS", "RF", "ZT", "HW"};
    std::vector<json> devices;
    for (int i = 0; i < count; ++i) {
      std::string id = std::string(kVendors[i % 6]) + Format("%04d80%07d", 17 * i % 1000, 1234500 + 37 * i);
      devices.push_back(Device("singleRet", id));
    }
    return devices;
  }

  BusTicker& ticker = station.Ticker();
  AlarmPoller& poller = station.Poller();
  BusCommands& commands = station.Commands();
  AldCommands& aldOps = station.AldOps();
  ScanControl& control = station.Control();

  BusWorker& worker = station.Worker();

  // A scan, then the timer tick that lists what it found.
  void ScanAndList() {
    engine.Run();
    ticker.OnTimerTick();
  }
  // Timer ticks; the test thread stands in for the worker and runs the
  // poll that a tick asks for before the next tick.
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) {
      ticker.OnTimerTick();
      worker.ServePoll();
    }
  }
  // One poll over the listed ALDs as the worker runs it, then what it
  // posted for the windows shown as the next tick shows it.
  void PollNow() {
    poller.PollAll(station.List().RowCount());
    station.UiWork().Drain();
  }

  // The slot's identifier with every octet it has, NULs included.
  std::string IdIn(unsigned slot) {
    const AldRecord& ald = table.Record(slot);
    return std::string(ald.UniqueId, ald.UniqueIdLength);
  }
  // The simulated device that the table holds in the slot.
  size_t DeviceIn(unsigned slot) {
    auto index = bus.Find(IdIn(slot));
    EXPECT_TRUE(index.has_value()) << slot;
    return index.value_or(0);
  }
  // Power cycles the slot's device: it forgets its address.
  void PowerCycle(unsigned slot) {
    size_t device = DeviceIn(slot);
    bus.PowerOff(device);
    bus.PowerOn(device);
  }

  // Everything traced so far (kept across calls).
  const std::string& Trace() {
    traced_ += log.TakePending();
    return traced_;
  }
  bool Traced(const std::string& what) { return Trace().find(what) != std::string::npos; }
  // A line at this level ("ERR", "WRN", "INF") holds the text.
  bool TracedAt(const std::string& level, const std::string& what) {
    std::istringstream lines(Trace());
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(level + " ", 0) == 0 && line.find(what) != std::string::npos) return true;
    }
    return false;
  }
  size_t TraceCount(const std::string& what) {
    const std::string& t = Trace();
    size_t n = 0;
    for (size_t at = t.find(what); at != std::string::npos; at = t.find(what, at + 1)) ++n;
    return n;
  }
  void ForgetTrace() {
    Trace();
    traced_.clear();
  }

  // Every listed slot holds the device with that identifier, addressed with
  // its slot number and connected, and the device agrees.
  void ExpectAllConnected(size_t devices) {
    ASSERT_EQ(table.AldCount(), devices);
    std::set<std::string> ids;
    for (unsigned slot = 1; slot <= devices; ++slot) {
      const AldRecord& ald = table.Record(slot);
      ids.insert(IdIn(slot));
      EXPECT_EQ(ald.Address, slot) << table.UniqueIdText(slot);
      EXPECT_EQ(ald.State, kStateConnected) << table.UniqueIdText(slot);
      auto index = bus.Find(IdIn(slot));
      ASSERT_TRUE(index.has_value()) << table.UniqueIdText(slot);
      bus.WithDevice(*index, [&](SimAld& d) {
        EXPECT_EQ(d.Address(), slot);
        EXPECT_TRUE(d.Connected());
      });
    }
    EXPECT_EQ(ids.size(), devices);
  }

  std::string traced_;
};
