// The command-line tool against aldsim serving one RET: output forms,
// scripts that stop, downloads, and an adapter pulled out mid-command.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CliHarness.h"

namespace {

using json = nlohmann::json;

constexpr char kRet[] = "KA0000801234567";

class CliSession : public ::testing::Test {
 protected:
  CliHarness bus{CliHarness::Site({CliHarness::SingleRet(kRet, true)})};
};

// Human-readable output; a script stops at its first failure, and an ALD
// that the scan did not find is a usage error.
TEST_F(CliSession, ScriptStopsAtTheFirstFailure) {
  std::string script = bus.Script({"tilt 1", "info KA9999", "tilt 1"});
  CliHarness::Run run = bus.Cli({"run", script});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Out, "ALD 1 tilt 2.0\n");
  EXPECT_EQ(run.Err, "tiltdeck-cli: unknown ALD 'KA9999': give a slot number or unique id from the scan\n");

  run = bus.Cli({"tilt", kRet, "--set", "2,5"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, "tiltdeck-cli: Invalid Tilt value.\n");
  EXPECT_EQ(bus.Device(kRet)["subunits"][0]["tilt"], 20);

  run = bus.Cli({"--quiet", "tilt", "1", "--set", "3"});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out, "ALD 1 tilt 3.0\n");
  EXPECT_EQ(run.Err, "");
}

// Firmware (plain, "css" with a good and with a bad checksum) and
// configuration files; files beyond their size limits and unreadable files
// are usage errors found before the bus, and send nothing. A reset at the
// end.
TEST_F(CliSession, DownloadsWithTheirLimitsAndTheChecksumRule) {
  std::vector<uint8_t> firmware(150);
  for (size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<uint8_t>(i);
  std::string plain = bus.File("fw.bin", firmware);
  std::string good = bus.File("good.css", {0x5A, 0x5A, 0x00, 0x00});
  std::string bad = bus.File("fw.css", {0x01, 0x00, 0x02, 0x00});
  std::string big = bus.File("big.bin", std::vector<uint8_t>(262145));
  std::string config = bus.File("ant.cfg", std::vector<uint8_t>(142, 0x33));
  std::string bigConfig = bus.File("big.cfg", std::vector<uint8_t>(131073));
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"firmware", "1", big}, "Download file too big! ('" + big + "' holds more than 262144 octets)"},
      {{"firmware", "1", bus.dir.File("missing.bin")}, "cannot read '" + bus.dir.File("missing.bin") + "'"},
      {{"config", "1", bigConfig}, "Download file too big! ('" + bigConfig + "' holds more than 131072 octets)"},
  };
  for (const auto& [args, message] : refused) {
    std::vector<std::string> line = {"--json", "download"};
    line.insert(line.end(), args.begin(), args.end());
    CliHarness::Run run = bus.Cli(line);
    EXPECT_EQ(run.Status, 2);
    ASSERT_EQ(run.Docs().size(), 1u);
    EXPECT_EQ(run.Docs()[0]["message"], message);
  }
  std::string script = bus.Script({
      "download firmware 1 " + plain,
      "download firmware 1 " + good,
      "download firmware 1 " + bad,
      "download config 1 " + config,
      "download firmware 9 " + plain,
      "reset 1",
      "info 1",
  });
  CliHarness::Run run = bus.Cli({"--json", "run", script, "--keep-going"}, true);
  std::vector<json> docs = run.Docs();
  ASSERT_EQ(docs.size(), 7u) << run.Out << run.Err;
  EXPECT_EQ(run.Status, 2);

  EXPECT_EQ(docs[0]["octets"], 150);
  EXPECT_EQ(docs[0]["checksum"], "none");
  EXPECT_EQ(docs[0]["reconnected"], true);
  EXPECT_EQ(docs[0]["state"], "CONNECTED");
  EXPECT_EQ(docs[1]["checksum"], "good");
  EXPECT_EQ(docs[2]["checksum"], "corrected");
  EXPECT_EQ(docs[2]["correctedCopy"], bus.dir.File("fw_chk.css"));
  EXPECT_EQ(ReadFile(bus.dir.File("fw_chk.css")), std::string("\x01\x00\x59\x5A", 4));
  EXPECT_EQ(docs[3]["ok"], true);
  EXPECT_EQ(docs[4]["exit"], 2);
  EXPECT_EQ(docs[4]["message"], "unknown ALD '9': give a slot number or unique id from the scan");
  EXPECT_EQ(docs[5]["result"], "Success");
  EXPECT_EQ(docs[6]["productNumber"], "RET-8001") << "the device answers after its reset";

  json ret = bus.Device(kRet);
  EXPECT_EQ(ret["downloads"], 3);
  EXPECT_EQ(ret["lastDownloadOctets"], 4);
  EXPECT_EQ(ret["subunits"][0]["configOctets"], 142);
  // The bar reaches the end of each transfer, and the user learns of the
  // corrected checksum.
  EXPECT_NE(run.Err.find("] 47% 71/150 octets\r["), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("] 94% 142/150 octets\r["), std::string::npos);
  EXPECT_NE(run.Err.find("] 100% 150/150 octets\n"), std::string::npos);
  EXPECT_NE(run.Err.find("] 100% 142/142 octets\n"), std::string::npos);
  EXPECT_NE(run.Err.find("Bad file checksum!\n"), std::string::npos);
}

// A text that is not UTF-8, stored by a device, ended the simulator at the
// next state dump; it is dumped with its octets escaped, and the tool
// shows it escaped too.
TEST_F(CliSession, TextThatIsNotUtf8IsDumpedEscaped) {
  CliHarness::Run run = bus.Cli({"field", "1", "set", "operator-sector-id", "S\xFF\xFE\x1B]0;x\x07"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("S\\xFF\\xFE\\x1B]0;x\\x07\n"), std::string::npos) << run.Out;
  EXPECT_EQ(bus.Device(kRet)["subunits"][0]["fields"]["sectorId"], "S\\xFF\\xFE\\x1B]0;x\\x07");
  EXPECT_EQ(bus.Device(kRet)["uniqueId"], kRet) << "the simulator still serves";
}

// The adapter goes while a calibration runs: one error line, status 1.
TEST(CliUnplugged, AdapterPulledOutMidCommand) {
  json ret = CliHarness::SingleRet(kRet, true);
  ret["timing"]["calibrationMs"] = 30000;
  CliHarness bus{CliHarness::Site({ret})};
  std::string trace = bus.dir.File("trace.txt");
  std::atomic<bool> done{false};
  std::thread unplug([&] {
    while (!done && ReadFile(trace).find("Single Ret Calibrate") == std::string::npos) usleep(10000);
    bus.sim->Terminate();
  });
  CliHarness::Run run = bus.Cli({"--trace", trace, "calibrate", "1"});
  done = true;
  unplug.join();
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "");
  // The port fails on the poll's read or on the next poll's write,
  // whichever the unplugging meets.
  bool readOrWrite = run.Err.rfind("tiltdeck-cli: Serial port failure: the serial port failed (error 10,", 0) == 0 ||
                     run.Err.rfind("tiltdeck-cli: Serial port failure: the serial port failed (error 9,", 0) == 0;
  EXPECT_TRUE(readOrWrite) << run.Err;
  EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1);
}

}  // namespace
