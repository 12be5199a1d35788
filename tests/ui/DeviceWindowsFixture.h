#pragma once

#include <QMdiArea>
#include <QTest>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "BusRecorders.h"
#include "SimHdlc.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "bus/BusStation.h"
#include "core/FakeClock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/LinkObserver.h"
#include "sim/SimSite.h"
#include "sim/VirtualBus.h"
#include "ui/ColorEdit.h"
#include "ui/DeviceWindow.h"
#include "ui/DeviceWindowsQt.h"

// Device windows in a document area over the bus side of a station on the
// in-process simulated bus, every wait on a fake clock. The link layer's
// loss reports reach the windows as the main window passes them on.
class DeviceWindowsBench : public LinkObserver {
 public:
  using json = nlohmann::json;

  explicit DeviceWindowsBench(const json& site) {
    SimSite::BusSettings settings;
    std::string error;
    if (!SimSite::FromJson(site, bus, settings, &error)) qFatal("bad site: %s", error.c_str());
    // Answers that overlap on the line, as on RS-485: the octets are ANDed.
    bus.SetCollisions(VirtualBus::Collisions::kGarble);
    windows.SetRowRefresher([this](uint8_t slot, uint8_t subunit) { station.List().UpdateAldRows(slot, subunit); });
    link.AddLinkObserver(this);
    // The area is laid out but not shown: Qt paints large areas on a pool
    // of threads of its own, whose races ThreadSanitizer would report
    // against any window code that repaints.
    area.setViewMode(QMdiArea::TabbedView);
    area.resize(1100, 650);
  }
  ~DeviceWindowsBench() override { link.RemoveLinkObserver(this); }

  void OnLinkLost(uint8_t address) override { windows.ShowLinkLost(address); }

  // A device of the site; RETs come calibrated so that their alarms read
  // clean unless alarms are given.
  static json Device(const std::string& type, const std::string& uniqueId, int subunits = 1,
                     const json& alarms = json::array()) {
    json subunit = type == "tma" ? json::object() : json{{"calibrated", true}};
    subunit["alarms"] = alarms;
    json list = json::array();
    for (int i = 0; i < subunits; ++i) list.push_back(subunit);
    return {{"type", type},
            {"uniqueId", uniqueId},
            {"productNumber", "PN-" + uniqueId.substr(0, 6)},
            {"hardwareVersion", "HW 2.1"},
            {"softwareVersion", "SW 3.4.17"},
            {"subunits", list}};
  }
  static json Site(const std::vector<json>& devices) { return {{"devices", devices}}; }

  // A scan, then the timer tick that lists what it found and opens the
  // windows.
  void ScanAndList() {
    station.Engine().Run();
    station.Ticker().OnTimerTick();
  }

  // One alarm poll as the worker runs it, then the tick's hand-over of
  // what it found to the windows.
  void Poll() {
    station.Poller().PollAll(station.List().RowCount());
    station.UiWork().Drain();
  }

  DeviceWindow& Window(uint8_t slot) {
    DeviceWindow* w = windows.Window(slot);
    if (!w) qFatal("no window for slot %u", slot);
    return *w;
  }
  QString BoxText(uint8_t slot, int id) { return Window(slot).Box(id)->text(); }

  // Everything traced so far (kept across calls).
  const std::string& Trace() {
    traced_ += log.TakePending();
    return traced_;
  }
  // A trace line at this level, class and ALD number holds the text.
  bool TracedLine(const std::string& level, const std::string& classTag, const std::string& ald,
                  const std::string& text) {
    std::istringstream lines(Trace());
    for (std::string line; std::getline(lines, line);) {
      bool head = line.rfind(level + " ", 0) == 0 && line.find(" " + classTag + " " + ald + " ") != std::string::npos;
      if (head && line.find(text) != std::string::npos) return true;
    }
    return false;
  }
  void ForgetTrace() {
    Trace();
    traced_.clear();
  }
  size_t TraceCount(const std::string& text) {
    const std::string& t = Trace();
    size_t n = 0;
    for (size_t at = t.find(text); at != std::string::npos; at = t.find(text, at + 1)) ++n;
    return n;
  }

  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  FakeClock clock;
  VirtualBus bus{clock};
  SimHdlc link{log, table, bus};
  AisgLayer7 layer7{link, table, log, clock};
  QMdiArea area;
  RecordingView view;
  RecordingMessages messages;
  DeviceWindowsQt windows{area, layer7, table, log, messages};
  ScanOptions scanOptions;
  PollOptions pollOptions;
  BusStation station{layer7, BusUi{view, windows, messages}, [this] { return scanOptions; },
                     [this] { return pollOptions; }};

 private:
  std::string traced_;
};
