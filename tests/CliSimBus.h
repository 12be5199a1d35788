#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "CliHarness.h"
#include "SimHdlc.h"
#include "TempDir.h"
#include "cli/RunCli.h"
#include "core/FakeClock.h"
#include "sim/SimSite.h"
#include "sim/VirtualBus.h"

// The command-line tool in-process over a simulated bus: no pseudo-terminal
// and no real waits, so a case costs milliseconds. The devices' own time
// follows the tool's fake clock, so a calibration finishes while the tool
// polls for it. What the devices hold is read from the bus itself.
class CliSimBus {
 public:
  using json = nlohmann::json;
  using Run = CliHarness::Run;

  CliSimBus(std::initializer_list<json> devices = {}) {
    json site = {{"devices", json::array()}};
    for (const json& d : devices) site["devices"].push_back(d);
    SimSite::BusSettings settings;
    std::string error;
    if (!SimSite::FromJson(site, bus, settings, &error)) ADD_FAILURE() << error;
  }

  // tiltdeck-cli --port sim ARGS, over the simulated bus.
  Run Cli(const std::vector<std::string>& args, bool progress = false) {
    std::vector<std::string> all = {"--port", "sim"};
    all.insert(all.end(), args.begin(), args.end());
    CliEnvironment env;
    env.Time = &clock;
    env.Progress = progress;
    env.Link = [this](TraceLog& log, AldTable& table) {
      auto link = std::make_unique<SimHdlc>(log, table, bus);
      SimHdlc* raw = link.get();
      link->onWrite = [this, raw] {
        ++frames;
        if (onFrame) onFrame(raw->Frames().back());
      };
      return link;
    };
    std::ostringstream out, err;
    Run r;
    r.Status = RunCli(all, out, err, env);
    r.Out = out.str();
    r.Err = err.str();
    return r;
  }

  // The simulator's view of the device with this unique id.
  json Device(const std::string& uniqueId) {
    json state = bus.StateJson();
    for (const json& d : state["devices"]) {
      if (d["uniqueId"] == uniqueId) return d;
    }
    ADD_FAILURE() << "no device " << uniqueId;
    return json::object();
  }
  size_t Index(const std::string& uniqueId) { return bus.Find(uniqueId).value_or(0); }

  // Whether the frame content is an I-frame carrying this procedure.
  static bool Carries(const std::vector<uint8_t>& frame, uint8_t code) {
    return frame.size() > 2 && (frame[1] & 1) == 0 && frame[2] == code;
  }

  static json SingleRet(const std::string& id, bool calibrated = true) {
    json ret = CliHarness::SingleRet(id, calibrated);
    ret.erase("timing");
    return ret;
  }
  static json MultiRet(const std::string& id, const std::vector<bool>& calibrated) {
    json subunits = json::array();
    for (bool c : calibrated)
      subunits.push_back({{"calibrated", c}, {"tilt", 20}, {"fields", CliHarness::Antenna(120, 0)}});
    return {{"type", "multiRet"}, {"uniqueId", id}, {"subunits", subunits}};
  }
  static json Tma(const std::string& id) {
    json tma = CliHarness::Tma(id);
    tma.erase("timing");
    return tma;
  }

  TempDir dir;
  FakeClock clock;
  VirtualBus bus{clock};
  // Frames the tool wrote, over all runs; 0 means the bus was not touched.
  std::atomic<uint64_t> frames{0};
  // Called with every frame the tool writes, before the devices hear it.
  std::function<void(const std::vector<uint8_t>&)> onFrame;
};
