// A session on the demonstration site captured three ways: by the tool
// (--capture), by the simulator (--capture, the devices' side) and from the
// tool's trace file (trace2pcap). All three are read back with tshark and
// the AISG dissector and must tell the same story.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "CliHarness.h"
#include "PcapngRead.h"
#include "Tshark.h"
#include "capture/TraceFrameReader.h"

namespace {

const std::vector<std::string> kFields = {"aisg.direction", "aisg.address", "aisg.ftype",
                                          "aisg.fcs.good",  "aisg.l7.name", "aisg.l7.rc_name",
                                          "aisg.l7.tilt",   "aisg.l7.gain", "aisg.xid.uid"};

using Row = std::map<std::string, std::string>;

std::vector<Row> Rows(const Tshark::Run& r) {
  std::vector<Row> rows;
  std::istringstream lines(r.Out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream cells(line + "|");
    Row row;
    for (const std::string& field : kFields) std::getline(cells, row[field], '|');
    rows.push_back(row);
  }
  return rows;
}

// The first row at or after from whose fields hold all of want.
size_t Find(const std::vector<Row>& rows, const Row& want, size_t from = 0) {
  for (size_t i = from; i < rows.size(); ++i) {
    bool all = true;
    for (const auto& [field, value] : want) all = all && rows[i].at(field) == value;
    if (all) return i;
  }
  return rows.size();
}

std::vector<uint8_t> Concatenated(const PcapngContents& c, uint32_t flags) {
  std::vector<uint8_t> all;
  for (const PcapngPacket& p : c.Packets) {
    if (p.Flags == flags) all.insert(all.end(), p.Octets.begin(), p.Octets.end());
  }
  return all;
}

std::vector<std::vector<uint8_t>> Octets(const PcapngContents& c, uint32_t flags) {
  std::vector<std::vector<uint8_t>> all;
  for (const PcapngPacket& p : c.Packets) {
    if (p.Flags == flags) all.push_back(p.Octets);
  }
  return all;
}

TEST(WiresharkCapture, ADemoSiteScanAndATiltSetReadTheSameFromToolSimulatorAndTrace) {
  ASSERT_TSHARK();
  CliHarness bus{CliHarness::DemoSite()};
  std::string simCapture = bus.dir.File("sim.pcapng");
  bus.sim.reset();
  bus.sim = std::make_unique<AldsimProcess>(std::vector<std::string>{"--site", bus.dir.File("site.json"), "--baud",
                                                                     CliHarness::kBaud, "--capture", simCapture});
  std::string trace = bus.dir.File("trace.txt");
  std::string capture = bus.dir.File("tool.pcapng");
  std::string script = bus.Script({"calibrate 3", "tilt 3 --set 4.5", "tma 5 --subunit 2 gain --set 10.25"});
  CliHarness::Run run = bus.Cli({"--trace", trace, "--capture", capture, "run", script});
  ASSERT_EQ(run.Status, 0) << run.Out << run.Err;
  bus.sim->Terminate();

  // The tool's capture holds exactly the transfers its trace lists.
  PcapngContents tool = ReadPcapng(ReadFile(capture));
  ASSERT_TRUE(tool.Valid);
  std::ifstream traceIn(trace);
  TraceFrameReader traced;
  traced.Read(traceIn);
  EXPECT_EQ(traced.Counts().Unreadable, 0u);
  ASSERT_EQ(tool.Packets.size(), traced.Frames().size());
  for (size_t i = 0; i < tool.Packets.size(); ++i) {
    EXPECT_EQ(tool.Packets[i].Octets, traced.Frames()[i].Octets) << "packet " << i + 1;
    EXPECT_EQ(tool.Packets[i].Flags, traced.Frames()[i].Direction == CaptureDirection::kFromPrimary ? 2u : 1u);
  }

  Tshark::Run decoded = Tshark::Fields(capture, kFields);
  ASSERT_EQ(decoded.Status, 0) << decoded.Err;
  EXPECT_EQ(Tshark::LuaErrors(decoded), "");
  std::vector<Row> rows = Rows(decoded);
  ASSERT_EQ(rows.size(), tool.Packets.size());
  std::set<std::string> found;
  for (const Row& row : rows) {
    EXPECT_EQ(row.at("aisg.fcs.good").find('0'), std::string::npos) << "every whole frame is intact";
    std::istringstream ids(row.at("aisg.xid.uid"));
    for (std::string id; row.at("aisg.direction") == "2" && std::getline(ids, id, ',');) found.insert(id);
    if (row.at("aisg.ftype") == "I") {
      int address = std::stoi(row.at("aisg.address"));
      EXPECT_TRUE(address >= 1 && address <= 5) << address;
    }
  }
  EXPECT_EQ(found, (std::set<std::string>{"AN07RET4410", "CS7000RM0000420", "KA0000801234567", "KA0000801234568",
                                          "TW21800045"}));
  // The scan's alarm reads, then the script: calibration, tilt, gain.
  size_t alarms =
      Find(rows, {{"aisg.direction", "2"}, {"aisg.l7.name", "Get Alarm Status"}, {"aisg.l7.rc_name", "OK"}});
  EXPECT_LT(alarms, rows.size());
  size_t calibrate =
      Find(rows, {{"aisg.direction", "1"}, {"aisg.address", "3"}, {"aisg.l7.name", "Single Ret Calibrate"}});
  size_t calibrated = Find(
      rows, {{"aisg.direction", "2"}, {"aisg.l7.name", "Single Ret Calibrate"}, {"aisg.l7.rc_name", "OK"}}, calibrate);
  size_t tilt = Find(rows,
                     {{"aisg.direction", "1"},
                      {"aisg.address", "3"},
                      {"aisg.l7.name", "Single Ret Set Tilt"},
                      {"aisg.l7.tilt", "4.5"}},
                     calibrated);
  size_t tilted = Find(rows,
                       {{"aisg.direction", "2"},
                        {"aisg.address", "3"},
                        {"aisg.l7.name", "Single Ret Set Tilt"},
                        {"aisg.l7.rc_name", "OK"}},
                       tilt);
  size_t readBack =
      Find(rows, {{"aisg.direction", "2"}, {"aisg.l7.name", "Single Ret Get Tilt"}, {"aisg.l7.tilt", "4.5"}}, tilted);
  size_t gain = Find(
      rows,
      {{"aisg.direction", "1"}, {"aisg.address", "5"}, {"aisg.l7.name", "TMA Set Gain"}, {"aisg.l7.gain", "10.25"}},
      readBack);
  size_t gained =
      Find(rows, {{"aisg.direction", "2"}, {"aisg.l7.name", "TMA Set Gain"}, {"aisg.l7.rc_name", "OK"}}, gain);
  EXPECT_LT(gained, rows.size()) << decoded.Out;

  // The trace converted gives the same decoded frames.
  std::string converted = bus.dir.File("trace.pcapng");
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"trace2pcap", trace, converted}, out, err), 0) << err.str();
  Tshark::Run fromTrace = Tshark::Fields(converted, kFields);
  EXPECT_EQ(fromTrace.Out, decoded.Out);

  // The devices heard every frame the tool wrote, in order, and the tool
  // read every octet they answered.
  PcapngContents sim = ReadPcapng(ReadFile(simCapture));
  ASSERT_TRUE(sim.Valid);
  EXPECT_EQ(Octets(sim, 2), Octets(tool, 2));
  EXPECT_EQ(Concatenated(sim, 1), Concatenated(tool, 1));
  EXPECT_TRUE(std::is_sorted(sim.Packets.begin(), sim.Packets.end(),
                             [](const PcapngPacket& a, const PcapngPacket& b) { return a.TimeUs < b.TimeUs; }));
  Tshark::Run simDecoded = Tshark::Fields(simCapture, kFields);
  EXPECT_EQ(simDecoded.Status, 0) << simDecoded.Err;
  EXPECT_EQ(Tshark::LuaErrors(simDecoded), "");
  EXPECT_EQ(Rows(simDecoded).size(), sim.Packets.size());
}

}  // namespace
