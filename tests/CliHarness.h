#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "AldsimProcess.h"
#include "RunTiming.h"
#include "TempDir.h"
#include "cli/RunCli.h"
#include "core/FakeClock.h"

// The command-line tool run in-process against aldsim on a pseudo-terminal.
// The simulator answers at 115200 baud and its devices move, calibrate and
// restart quickly; the tool's waits run on a fake clock, so a procedure
// polls back to back instead of once a second.
class CliHarness {
 public:
  using json = nlohmann::json;

  struct Run {
    int Status = -1;
    std::string Out;
    std::string Err;
    // Every line of Out parsed as a JSON document (with --json).
    std::vector<json> Docs() const {
      std::vector<json> docs;
      std::istringstream lines(Out);
      for (std::string line; std::getline(lines, line);) docs.push_back(json::parse(line));
      return docs;
    }
  };

  static constexpr const char* kBaud = "115200";

  static json Timing() {
    return {
        {"tiltDegPerS", 20.0}, {"moveSettleMs", 50}, {"calibrationMs", 300}, {"selfTestMs", 100}, {"restartMs", 100}};
  }
  static json Antenna(int maxTilt, int minTilt) {
    return {{"antennaModelNumber", "ANT-742266"},
            {"antennaSerialNumber", "0000801234567"},
            {"antennaFrequencyBand", 0x0120},
            {"antennaBeamwidth", {65, 63, 0, 0}},
            {"antennaGain", {171, 175, 0, 0}},
            {"maxTilt", maxTilt},
            {"minTilt", minTilt},
            {"installDate", "240611"},
            {"bearing", 1200}};
  }
  static json SingleRet(const std::string& id, bool calibrated, int tilt = 20) {
    return {{"type", "singleRet"},
            {"uniqueId", id},
            {"productNumber", "RET-8001"},
            {"serialNumber", id.substr(2)},
            {"hardwareVersion", "HW 2.1"},
            {"softwareVersion", "SW 3.4.17"},
            {"timing", Timing()},
            {"subunits", {{{"calibrated", calibrated}, {"tilt", tilt}, {"fields", Antenna(120, 0)}}}}};
  }
  static json Tma(const std::string& id) {
    json subunit = {{"gain", 48},
                    {"fields",
                     {{"tmaModelNumber", "TMA-DD-1800"},
                      {"tmaType", 1},
                      {"tmaMinGain", 16},
                      {"tmaMaxGain", 60},
                      {"tmaRxBand", {1710, 1785}},
                      {"tmaTxBand", {1805, 1880}}}}};
    return {{"type", "tma"},
            {"uniqueId", id},
            {"productNumber", "TMA-DD-1800"},
            {"timing", Timing()},
            {"subunits", {subunit}}};
  }

  explicit CliHarness(const json& site) { Serve(site); }

  static json Site(const std::vector<json>& devices) {
    return {{"bus", {{"baud", 115200}, {"turnaroundMs", 3}, {"collisions", "concat"}}}, {"devices", devices}};
  }

  // tiltdeck-cli --port <the simulator> --baud 115200 ARGS
  Run Cli(const std::vector<std::string>& args, bool progress = false) {
    std::vector<std::string> all = {"--port", sim->LinkPath(), "--baud", kBaud};
    if (ExactTimingRun()) all.push_back("--exact-timing");
    all.insert(all.end(), args.begin(), args.end());
    std::ostringstream out, err;
    Run r;
    r.Status = RunCli(all, out, err, CliEnvironment{&clock, progress, {}});
    r.Out = out.str();
    r.Err = err.str();
    return r;
  }
  // Writes a script of these lines and returns its path.
  std::string Script(const std::vector<std::string>& lines, const std::string& name = "script.txt") {
    std::string path = dir.File(name);
    std::ofstream out(path);
    for (const std::string& line : lines) out << line << "\n";
    return path;
  }
  std::string File(const std::string& name, const std::vector<uint8_t>& octets) {
    std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(octets.data()), static_cast<std::streamsize>(octets.size()));
    return path;
  }
  // The simulator's view of the device with this unique id.
  json Device(const std::string& uniqueId) {
    json state = sim->State();
    for (const json& d : state["devices"]) {
      if (d["uniqueId"] == uniqueId) return d;
    }
    ADD_FAILURE() << "no device " << uniqueId;
    return json::object();
  }

  // The demonstration site, sped up like the devices above.
  static json DemoSite() {
    std::ifstream in(std::string(TILTDECK_SOURCE_DIR) + "/sim/sites/demo.json");
    json site = json::parse(in);
    site["bus"]["baud"] = 115200;
    for (auto& device : site["devices"]) device["timing"] = Timing();
    return site;
  }
  void Serve(const json& site) {
    std::string path = dir.File("site.json");
    std::ofstream(path) << site.dump(2);
    sim = std::make_unique<AldsimProcess>(std::vector<std::string>{"--site", path, "--baud", kBaud});
  }

  TempDir dir;
  FakeClock clock;
  std::unique_ptr<AldsimProcess> sim;
};
