// The command-line tool in-process over a simulated bus: what it refuses to
// write, what it writes exactly, and how every failure is reported. Each
// case checks what the devices hold afterwards, and whether the bus was
// touched at all.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "CliSimBus.h"

namespace {

using json = nlohmann::json;

constexpr char kRet[] = "KA0000801234567";
constexpr char kMulti[] = "CS7000RM0000420";
constexpr char kTma[] = "TW21800045";

size_t Lines(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Numbers that the fields' octets cannot hold were cut into other values,
// and text that is no number counted as 0. Each is refused with the field's
// message before the bus is reset, and the device keeps its value.
TEST(CliEntry, FieldValuesTheDeviceCannotHoldAreRefusedBeforeTheBus) {
  CliSimBus sim{CliSimBus::SingleRet(kRet), CliSimBus::Tma(kTma)};
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"1", "set", "antenna-max-tilt", "5000"}, "Invalid Tilt value."},
      {{"1", "set", "antenna-min-tilt", "-3276.9"}, "Invalid Tilt value."},
      {{"1", "set", "antenna-gain", "30"}, "Invalid Gain value."},
      {{"1", "set", "antenna-gain", "-1"}, "Invalid Gain value."},
      {{"1", "set", "antenna-beamwidth", "70000", "-1", "1x"}, "Invalid Beamwidth value."},
      {{"1", "set", "antenna-beamwidth", "abc"}, "Invalid Beamwidth value."},
      {{"1", "set", "antenna-beamwidth", "1", "2", "3", "4", "5"}, "Antenna Beamwidth takes at most 4 values"},
      {{"2", "set", "tma-max-support-gain", "100"}, "Invalid Gain value."},
      {{"2", "set", "tma-gain-resolution", "0.1"}, "Invalid Gain value."},
      {{"2", "set", "tma-type", "x"}, "Invalid TMA Type value."},
      {{"2", "set", "tma-rx-frequency-band", "abc", "def"}, "Invalid Rx Frequency Band value."},
      {{"2", "set", "tma-tx-frequency-band", "1805", "70000"}, "Invalid Tx Frequency Band value."},
      {{"1", "set", "antenna-gain", ""}, "Antenna Gain is given an empty value (an unset variable?)"},
      {{"1", "set", "operator-antenna-bearing", "360.1"},
       "Invalid Antenna Bearing Value. Please enter a value between 0 - 360.0"},
      {{"2", "set", "tma-type", "12"}, "Parameter is longer than expected length [1]. Set not allowed!"},
  };
  for (const auto& [args, message] : refused) {
    std::vector<std::string> line = {"field"};
    line.insert(line.end(), args.begin(), args.end());
    CliHarness::Run run = sim.Cli(line);
    EXPECT_EQ(run.Status, 2) << message;
    EXPECT_EQ(run.Err, "tiltdeck-cli: " + message + "\n");
  }
  EXPECT_EQ(sim.frames, 0u) << "no entry error may cost a scan";

  // What fits is written exactly as before: tenths, quarters, words.
  std::string fit = sim.dir.File("fit.txt");
  std::ofstream(fit) << "field 1 set antenna-max-tilt 3276.7\n"
                        "field 1 set antenna-gain \"25.5 0 2.59 0\"\n"
                        "field 1 set antenna-beamwidth 65535 0 7\n"
                        "field 2 set tma-max-support-gain 63.75\n"
                        "field 2 set tma-gain-resolution 8\n"
                        "field 2 set tma-type 3\n"
                        "field 2 set tma-rx-frequency-band 1710 1785\n";
  CliHarness::Run run = sim.Cli({"run", fit});
  EXPECT_EQ(run.Status, 0) << run.Err;
  json ret = sim.Device(kRet)["subunits"][0]["fields"];
  EXPECT_EQ(ret["maxTilt"], 32767);
  EXPECT_EQ(ret["antennaGain"], json({255, 0, 25, 0}));
  EXPECT_EQ(ret["antennaBeamwidth"], json({65535, 0, 7, 0}));
  json tma = sim.Device(kTma)["subunits"][0]["fields"];
  EXPECT_EQ(tma["tmaMaxGain"], 255);
  EXPECT_EQ(tma["tmaGainResolution"], 2);
  EXPECT_EQ(tma["tmaType"], 3);
  EXPECT_EQ(tma["tmaRxBand"], json({1710, 1785}));
}

// An empty tilt moved the antenna to 0.0 degrees: in a script an unset
// variable does that. It is a usage error, found before the bus.
TEST(CliEntry, EmptyValuesAreUsageErrors) {
  CliSimBus sim{CliSimBus::SingleRet(kRet), CliSimBus::Tma(kTma)};
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"tilt", "1", "--set", ""},
                                             {"tma", "2", "gain", "--set", ""},
                                             {"field", "1", "set", "antenna-max-tilt", ""}}) {
    CliHarness::Run run = sim.Cli(args);
    EXPECT_EQ(run.Status, 2) << args[0];
    EXPECT_NE(run.Err.find("is given an empty value"), std::string::npos) << run.Err;
  }
  EXPECT_EQ(sim.frames, 0u);
  EXPECT_EQ(sim.Device(kRet)["subunits"][0]["tilt"], 20);
}

// Gains beyond the subunit's limits were cut into 4 dB. A gain travels in
// quarters of a dB: finer entries are cut toward zero, as the window's page
// does, and must then be on the subunit's grid. The limits are read from the subunit; what
// is refused names them and the allowed gains nearest to the one asked.
TEST(CliEntry, TmaGainMustBeOneTheSubunitAllows) {
  CliSimBus sim{CliSimBus::Tma(kTma)};
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"68", "Gain 68 dB is not allowed: the TMA allows 4.0 to 15.0 dB in steps of 0.25 dB; nearest allowed: 15.0 dB"},
      {"-60", "Gain -60 dB is not allowed: the TMA allows 4.0 to 15.0 dB in steps of 0.25 dB; nearest allowed: 4.0 dB"},
      {"15.25",
       "Gain 15.25 dB is not allowed: the TMA allows 4.0 to 15.0 dB in steps of 0.25 dB; nearest allowed: "
       "15.0 dB"},
  };
  for (const auto& [gain, message] : refused) {
    CliHarness::Run run = sim.Cli({"--json", "tma", "1", "gain", "--set", gain});
    EXPECT_EQ(run.Status, 1) << gain;
    EXPECT_EQ(run.Err, "tiltdeck-cli: Gain Out Of Range: " + message + "\n");
    EXPECT_EQ(run.Docs().at(0)["error"], "Gain Out Of Range");
  }
  EXPECT_EQ(sim.Device(kTma)["subunits"][0]["gain"], 48) << "no refused gain reaches the device";

  CliHarness::Run run = sim.Cli({"tma", "1", "gain", "--set", "x"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "tiltdeck-cli: Invalid Gain value.\n");
  run = sim.Cli({"tma", "1", "gain", "--set", "10.25"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "ALD 1.1 gain set to 10.2 dB\n");
  EXPECT_EQ(sim.Device(kTma)["subunits"][0]["gain"], 41);
  run = sim.Cli({"tma", "1", "gain", "--set", "10.1"});
  EXPECT_EQ(run.Out, "ALD 1.1 gain set to 10.0 dB\n") << run.Err;
  EXPECT_EQ(sim.Device(kTma)["subunits"][0]["gain"], 40);
}

// The device-wide alarm status of a multi RET carries every antenna's
// alarms: antenna 2 not calibrated held antenna 1 too. Only the alarms of
// the antenna to move count.
TEST(CliEntry, MultiRetMovesAnAntennaByItsOwnAlarms) {
  CliSimBus sim{CliSimBus::MultiRet(kMulti, {true, false})};
  CliHarness::Run run = sim.Cli({"tilt", "1", "--subunit", "1", "--set", "3"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "ALD 1.1 tilt 3.0\n");
  run = sim.Cli({"tilt", "1", "--subunit", "2", "--set", "3"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "tiltdeck-cli: Not Calibrated: ALD#1 is Not Calibrated. Please perform Calibration\n");
  json device = sim.Device(kMulti);
  EXPECT_EQ(device["subunits"][0]["tilt"], 30);
  EXPECT_EQ(device["subunits"][1]["tilt"], 20);
}

// An empty configuration sent nothing and reported Success; a FIFO blocked
// the tool for ever. Download files, like every other error that needs no
// bus, are found before the bus is reset and scanned.
TEST(CliEntry, ErrorsThatNeedNoBusCostNoScan) {
  CliSimBus sim{CliSimBus::SingleRet(kRet)};
  std::string empty = sim.dir.File("empty.cfg");
  std::ofstream(empty).close();
  std::string fifo = sim.dir.File("fifo.cfg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string one = sim.dir.File("one.css");
  std::ofstream(one) << "Z";
  std::string script = sim.dir.File("late.txt");
  std::ofstream(script) << "tilt 1\ndownload config 1 " << empty << "\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"download", "config", "1", empty}, "'" + empty + "' is empty; nothing sent"},
      {{"download", "firmware", "1", empty}, "'" + empty + "' is empty; nothing sent"},
      {{"download", "config", "1", fifo}, "'" + fifo + "' is not a regular file"},
      {{"download", "config", "1", sim.dir.Path().string()}, "'" + sim.dir.Path().string() + "' is not a regular file"},
      {{"download", "firmware", "1", sim.dir.File("missing.bin")}, "cannot read '" + sim.dir.File("missing.bin") + "'"},
      {{"download", "firmware", "1", one}, "'" + one + "' holds no checksum word; nothing sent"},
      {{"calibrate", "all", "--subunit", "2"}, "'calibrate all' takes no --subunit"},
      {{"info", "1", "--set", "3"}, "'info' takes no --set"},
      {{"tma", "1", "functions", "--set", "3"}, "tma functions cannot be set"},
      {{"tilt", "1", "--subunit", "x"}, "--subunit takes an antenna or subunit number from 1, not 'x'"},
      {{"run", script}, script + ":2: '" + empty + "' is empty; nothing sent"},
      {{"run", sim.dir.Path().string()}, "'" + sim.dir.Path().string() + "' is a directory, not a script"},
  };
  for (const auto& [args, message] : refused) {
    CliHarness::Run run = sim.Cli(args);
    EXPECT_EQ(run.Status, 2) << message;
    EXPECT_EQ(run.Err, "tiltdeck-cli: " + message + "\n");
  }
  EXPECT_EQ(sim.frames, 0u);
  EXPECT_EQ(sim.Device(kRet)["subunits"][0]["configOctets"], 0);
}

// A scan that found nothing left "unknown ALD '1'" as a usage error, a
// report that told the user to click Scan, and a calibration of all RETs
// that reported success for none.
TEST(CliEntry, NoAldAnsweringIsABusFailure) {
  CliSimBus empty;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"scan"}, {"info", "1"}, {"report", empty.dir.File("alds.csv")}, {"calibrate", "all"}}) {
    CliHarness::Run run = empty.Cli(args);
    EXPECT_EQ(run.Status, 1) << args[0];
    EXPECT_EQ(run.Err, "tiltdeck-cli: No ALD: no ALD answered the scan\n");
    EXPECT_EQ(run.Out, "");
  }
  json doc = empty.Cli({"--json", "tilt", "KA1"}).Docs().at(0);
  EXPECT_EQ(doc["error"], "No ALD");
  EXPECT_EQ(doc["exit"], 1);

  CliSimBus tmaOnly{CliSimBus::Tma(kTma)};
  CliHarness::Run run = tmaOnly.Cli({"calibrate", "all"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "tiltdeck-cli: No RET: no RET answered the scan; nothing calibrated\n");
}

// One line per failure, naming the result and the operation: a link that
// failed is not blamed on the file, a calibration interrupted by a power
// loss says the device stopped answering, and one that never finishes
// shows its wait on a terminal against the procedure's time-out.
TEST(CliEntry, EveryFailureIsOneLineWithItsOperation) {
  CliSimBus sim{CliSimBus::SingleRet(kRet, false)};
  std::string config = sim.dir.File("ant.cfg");
  std::ofstream(config) << std::string(142, 'c');
  size_t ret = sim.Index(kRet);
  sim.onFrame = [&](const std::vector<uint8_t>& frame) {
    if (CliSimBus::Carries(frame, 0x32)) sim.bus.PowerOff(ret);
  };
  CliHarness::Run run = sim.Cli({"download", "config", "1", config});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(Lines(run.Err), 1u) << run.Err;
  EXPECT_EQ(run.Err.rfind("tiltdeck-cli: Timeout: the configuration download to ALD 1 failed", 0), 0u) << run.Err;
  EXPECT_EQ(run.Err.find("check the file"), std::string::npos);

  sim.bus.PowerOn(ret);
  bool calibrating = false;
  sim.onFrame = [&](const std::vector<uint8_t>& frame) {
    if (calibrating) sim.bus.PowerOff(ret);
    calibrating = calibrating || CliSimBus::Carries(frame, 0x31);
  };
  run = sim.Cli({"calibrate", "1"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "tiltdeck-cli: Fail: the calibration of ALD 1 failed: ALD 1 stopped answering\n");

  sim.bus.PowerOn(ret);
  sim.onFrame = nullptr;
  sim.bus.WithDevice(ret, [](SimAld& d) { d.SetStuck(true); });
  run = sim.Cli({"calibrate", "1"}, true);
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("\rcalibrating ALD 1: 1 s of at most 180 s\rcalibrating ALD 1: 2 s of at most 180 s"),
            std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find("\rcalibrating ALD 1: 179 s of at most 180 s\rcalibrating ALD 1: 180 s of at most 180 s\n"
                         "tiltdeck-cli: Timeout: the calibration of ALD 1 failed\n"),
            std::string::npos)
      << run.Err.substr(run.Err.size() - 200);
  EXPECT_FALSE(sim.Device(kRet)["subunits"][0]["calibrated"]);
}

// --json answers every outcome with one document, usage errors and ports
// that cannot be opened included.
TEST(CliEntry, JsonDocumentForEveryOutcome) {
  CliSimBus sim;
  CliHarness::Run run = sim.Cli({"--json", "tilt", "1", "--set", "2,5"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(
      run.Docs().at(0),
      json({{"command", "tilt"}, {"ok", false}, {"exit", 2}, {"error", "Usage"}, {"message", "Invalid Tilt value."}}));
  EXPECT_EQ(run.Err, "tiltdeck-cli: Invalid Tilt value.\n");
  run = sim.Cli({"--json", "frobnicate"});
  EXPECT_EQ(run.Docs().at(0)["message"], "unknown command 'frobnicate' (try --help)");
  FakeClock clock;
  std::ostringstream out, err;
  int status = RunCli({"--json", "--port", sim.dir.File("none"), "scan"}, out, err, CliEnvironment{&clock, false, {}});
  EXPECT_EQ(status, 3);
  EXPECT_EQ(json::parse(out.str()), json({{"command", "scan"},
                                          {"ok", false},
                                          {"exit", 3},
                                          {"error", "No Such Port"},
                                          {"message", "cannot open " + sim.dir.File("none") + ": no such port"}}));
}

// A device's texts reach the terminal with their control octets escaped:
// an identity that clears the screen is shown, not obeyed.
TEST(CliEntry, DeviceTextsAreShownEscaped) {
  json ret = CliSimBus::SingleRet(kRet);
  ret["productNumber"] = "RET\\x1B[2J\\x07";
  ret["subunits"][0]["fields"]["sectorId"] = "A\\x9B31mB\\xC3\\xA9";
  CliSimBus sim{ret};
  CliHarness::Run run = sim.Cli({"info", "1"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("Product Number:   RET\\x1B[2J\\x07\n"), std::string::npos) << run.Out;
  run = sim.Cli({"field", "1", "get", "operator-sector-id"});
  EXPECT_NE(run.Out.find("A\\x9B31mB\xC3\xA9\n"), std::string::npos) << run.Out;
  for (char c : run.Out + run.Err) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
}

// The trace failing while it is written (a full disk) was silent.
TEST(CliEntry, TraceFileThatFailsIsReportedOnce) {
  CliSimBus sim{CliSimBus::SingleRet(kRet)};
  CliHarness::Run run = sim.Cli({"--trace", "/dev/full", "tilt", "1"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, "ALD 1 tilt 2.0\n");
  EXPECT_EQ(run.Err,
            "tiltdeck-cli: Trace File Failure: the trace file '/dev/full' could not be written: No space left on "
            "device\n");
}

// Every form of every command is in the general help.
TEST(CliEntry, HelpListsEveryCommandForm) {
  CliSimBus sim;
  CliHarness::Run run = sim.Cli({"--help"});
  for (const char* form : {"  download firmware ALD FILE\n", "  download config ALD FILE\n",
                           "  tma ALD --subunit S mode [--set normal|bypass]\n", "  tma ALD --subunit S functions\n",
                           "  calibrate all\n", "  field ALD [--subunit S] set FIELD VALUE...\n"}) {
    EXPECT_NE(run.Out.find(form), std::string::npos) << form;
  }
}

}  // namespace
