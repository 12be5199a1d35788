// The command-line tool on the demonstration site: one scan, then a script
// of every kind of command, with the JSON documents checked against what the
// simulated devices report of themselves afterwards.

#include <gtest/gtest.h>

#include "CliHarness.h"

namespace {

using json = nlohmann::json;

TEST(CliDemoSite, ScanThenAScriptOfEveryKindOfCommand) {
  CliHarness bus{CliHarness::DemoSite()};
  std::string csv = bus.dir.File("alds.csv");
  std::string text = bus.dir.File("alds.txt");
  std::string script = bus.Script({
      "# commissioning of the demonstration site",
      "scan",
      "info 3",
      "tilt KA0000801234567",
      "tilt 3 --set 4.5",
      "tilt 2 --subunit 3 --set 5",
      "calibrate 3",
      "tilt 3 --set 4.5",
      "tilt 3 --set 25.5",
      "",
      "calibrate all",
      "tilt 2 --subunit 3 --set 1.5",
      "tilt 2 --subunit 3 --set 5",
      "tilt 2 --set 5",
      "alarms 2",
      "tma 5 --subunit 2 gain --set 10.25",
      "tma 5 --subunit 2 gain",
      "tma 5 --subunit 2 mode --set bypass",
      "tma 5 --subunit 1 functions",
      "tma 5 gain",
      "field 3 set \"Antenna Model Number\" ABC",
      "field 3 get operator-antenna-bearing",
      "field 3 set antenna-frequency-band 1,9,40",
      "field 2 --subunit 3 set 0x04 \"60 61 62 63\"",
      "field 2 --subunit 3 get 6",
      "field 5 --subunit 1 get tma-type",
      "field 5 --subunit 2 get all",
      "field 1 get TmaType",
      "selftest 4",
      "clear-alarms 4",
      "report " + csv,
      "report " + text,
      "tilt 9",
  });
  CliHarness::Run run = bus.Cli({"--json", "--trace", bus.dir.File("trace.txt"), "run", script, "--keep-going"});
  std::vector<json> docs = run.Docs();
  ASSERT_EQ(docs.size(), 31u) << run.Out << run.Err;
  EXPECT_EQ(run.Status, 1) << "the first failure, a procedure's, gives the status";
  for (const json& d : docs) EXPECT_EQ(d["ok"], d["exit"] == 0) << d;
  auto at = [&](int line) {
    for (const json& d : docs) {
      if (d["line"] == line) return d;
    }
    ADD_FAILURE() << "no document of line " << line;
    return json::object();
  };

  json scan = at(2);
  const char* const ids[] = {"AN07RET4410", "CS7000RM0000420", "KA0000801234567", "KA0000801234568", "TW21800045"};
  ASSERT_EQ(scan["alds"].size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(scan["alds"][i]["slot"], i + 1);
    EXPECT_EQ(scan["alds"][i]["uniqueId"], ids[i]);
    EXPECT_EQ(scan["alds"][i]["aisgVersion"], "2.0");
  }
  EXPECT_EQ(scan["alds"][1]["type"], "Multi RET");
  EXPECT_EQ(scan["alds"][1]["subunits"], 3);
  EXPECT_EQ(scan["alds"][4]["subunits"], 2);
  // Fresh RETs, and the multi RET with one fresh antenna, report the alarm.
  for (int i : {0, 1, 2, 3}) EXPECT_EQ(scan["alds"][i]["state"], "ALARMED") << i;
  EXPECT_EQ(scan["alds"][4]["state"], "CONNECTED");

  EXPECT_EQ(at(3)["productNumber"], "RET-8001");
  EXPECT_EQ(at(3)["softwareVersion"], "SW 3.4.17");
  // Fresh RETs know no tilt and do not move until calibrated; a multi RET
  // is asked for the alarms of the antenna to move, so its calibrated third
  // antenna moves although the second is not calibrated.
  EXPECT_EQ(at(4)["error"], "Not Calibrated");
  EXPECT_EQ(at(5)["error"], "Not Calibrated");
  EXPECT_EQ(at(5)["message"], "ALD#3 is Not Calibrated. Please perform Calibration");
  EXPECT_EQ(at(6)["ok"], true) << at(6);
  EXPECT_EQ(at(6)["tilt"], 5.0);
  EXPECT_EQ(at(7)["result"], "Success");
  EXPECT_EQ(at(8)["tilt"], 4.5);
  EXPECT_EQ(at(9)["error"], "Out Of Range");
  EXPECT_EQ(at(9)["message"], "Tilt value is out of range. Please enter a value between 0.0 - 12.0");
  EXPECT_EQ(at(9)["tilt"], 4.5);
  json all = at(11)["results"];
  ASSERT_EQ(all.size(), 6u) << all;
  EXPECT_EQ(all[1], json({{"ald", 2}, {"subunit", 1}, {"result", "Success"}, {"tilt", 4.0}}));
  for (const json& r : all) EXPECT_EQ(r["result"], "Success") << r;
  EXPECT_EQ(at(12)["message"], "Tilt value is out of range. Please enter a value between 2.0 - 14.0");
  EXPECT_EQ(at(13)["tilt"], 5.0);
  EXPECT_EQ(at(14)["exit"], 2);
  EXPECT_EQ(at(14)["message"], "ALD 2 has 3 subunits: give --subunit 1..3");
  json alarms = at(15)["subunits"];
  ASSERT_EQ(alarms.size(), 3u);
  for (const json& s : alarms) EXPECT_EQ(s["alarms"], json::array()) << s;

  EXPECT_EQ(at(16)["gain"], 10.25);
  EXPECT_EQ(at(17)["gain"], 10.25);
  EXPECT_EQ(at(18)["mode"], "Bypass");
  EXPECT_EQ(at(19), json({{"command", "tma"},
                          {"ok", true},
                          {"exit", 0},
                          {"ald", 5},
                          {"uniqueId", "TW21800045"},
                          {"subunit", 1},
                          {"flags", 3},
                          {"minGain", 4.0},
                          {"maxGain", 12.0},
                          {"gainResolution", 0.25},
                          {"line", 19}}));
  EXPECT_EQ(at(20)["exit"], 2);

  EXPECT_EQ(at(21)["value"], "            ABC");
  EXPECT_NE(run.Err.find("Model Number is shorter than expected length [15]. It will left padded"), std::string::npos);
  EXPECT_EQ(at(22)["value"], "120.0");
  EXPECT_EQ(at(23)["value"], "1, 9, 40");
  EXPECT_EQ(at(24)["value"], json({"60", "61", "62", "63"}));
  EXPECT_EQ(at(25)["field"], "Antenna Max Tilt");
  EXPECT_EQ(at(25)["value"], "14.0");
  json tmaType = bus.Device("TW21800045")["subunits"][0]["fields"]["tmaType"];
  EXPECT_EQ(at(26)["value"], std::to_string(tmaType.get<int>()));
  json fields = at(27)["fields"];
  ASSERT_EQ(fields.size(), 8u);
  EXPECT_EQ(fields[0]["value"], "    TMA-DD-1800");
  EXPECT_EQ(fields[3]["value"], json({"1710", "1785"}));
  EXPECT_EQ(fields[5]["value"], "12.0");
  EXPECT_EQ(at(28)["exit"], 2);
  EXPECT_EQ(at(29)["result"], "Success");
  EXPECT_EQ(at(30)["result"], "Success");
  EXPECT_EQ(at(31)["format"], "csv");
  EXPECT_EQ(at(32)["format"], "text");
  EXPECT_EQ(at(33)["error"], "Usage");

  // What the devices hold now.
  json ret = bus.Device("KA0000801234567");
  EXPECT_EQ(ret["subunits"][0]["calibrated"], true);
  EXPECT_EQ(ret["subunits"][0]["tilt"], 45);
  EXPECT_EQ(ret["subunits"][0]["fields"]["antennaModelNumber"], "ABC");
  EXPECT_EQ(ret["subunits"][0]["fields"]["bearing"], 1200);
  EXPECT_EQ(ret["subunits"][0]["fields"]["antennaFrequencyBand09"], 0x80);
  json multi = bus.Device("CS7000RM0000420");
  EXPECT_EQ(multi["subunits"][1]["calibrated"], true);
  EXPECT_EQ(multi["subunits"][2]["tilt"], 50);
  EXPECT_EQ(multi["subunits"][2]["fields"]["antennaBeamwidth"], json({60, 61, 62, 63}));
  json tma = bus.Device("TW21800045");
  EXPECT_EQ(tma["subunits"][1]["gain"], 41);
  EXPECT_EQ(tma["subunits"][1]["mode"], 1);
  EXPECT_EQ(tma["subunits"][0]["mode"], 0);

  // The files hold what the session read of every ALD.
  std::string csvText = ReadFile(csv);
  EXPECT_EQ(csvText.rfind("ADDRESS,STATUS,TYPE,VENDOR,RET UNIQUE ID,", 0), 0u);
  EXPECT_NE(csvText.find("3,CONNECTED,SINGLE - RET,KA,KA0000801234567,RET-8001,SW 3.4.17,HW 2.1,NONE,4.5,"),
            std::string::npos)
      << csvText;
  EXPECT_NE(csvText.find("------------------------- SUBUNIT 3 -------------------------\n"), std::string::npos);
  std::string report = ReadFile(text);
  for (const char* id : ids)
    EXPECT_NE(report.find(std::string("RET Unique Id            , ") + id + "\n"), std::string::npos) << id;
  EXPECT_NE(report.find("TMA GAIN                 : 10.2\n"), std::string::npos) << report;
  EXPECT_NE(report.find("TMA MODE                 : BYPASS\n"), std::string::npos);
  EXPECT_NE(report.find("ANTENNA FREQUENCY BAND   , 1: 9: 40\n"), std::string::npos);
  EXPECT_NE(report.find("PRODUCT NUMBER           , MRET-3A\n"), std::string::npos);

  EXPECT_NE(ReadFile(bus.dir.File("trace.txt")).find("Broadcast reset request"), std::string::npos);
}

}  // namespace
