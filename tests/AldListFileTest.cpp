#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "TempDir.h"
#include "TraceLines.h"
#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/MessageBox.h"
#include "core/TraceLog.h"
#include "persist/AldListFile.h"
#include "persist/AldListFormat.h"
#include "persist/FileChooser.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"

namespace {

constexpr const char* kHeader =
    "ADDRESS,STATUS,TYPE,VENDOR,RET UNIQUE ID,PRODUCT NUMBER,SOFTWARE VERSION,HARDWARE VERSION,ALARM,RET TILT,"
    "ANTENNA MODEL NUMBER,ANTENNA SERIAL NUMBER,ANTENNA FREQUENCY BAND,ANTENNA BEAMWIDTH,ANTENNA GAIN,"
    "ANTENNA MAX TILT,ANTENNA MIN TILT,OPERATOR INSTALL DATE,OPERATOR INSTALL ID,OPERATOR BASESTATION ID,"
    "OPERATOR SECTOR ID,OPERATOR ANTENNA BEARING,OPERATOR MECHANICAL TILT\n";
constexpr const char* kHashes = "#############################################################\n";

std::string Subunit(int n) {
  return "------------------------- SUBUNIT " + std::to_string(n) + " -------------------------\n";
}

// Antenna columns of a subunit whose device data was never read.
std::string BlankAntennaColumns(const std::string& model) {
  return model + ",,,0 0 0 0,0.0 0.0 0.0 0.0,0.0,0.0,,,,,0.0,0.0,";
}

std::string BlankAntennaLines(const std::string& model) {
  return "ANTENNA MODEL NUMBER     , " + model +
         "\n"
         "ANTENNA SERIAL NUMBER    , \n"
         "ANTENNA FREQUENCY BAND   , \n"
         "ANTENNA BEAMWIDTH        , 0 0 0 0\n"
         "ANTENNA GAIN             , 0.0 0.0 0.0 0.0\n"
         "ANTENNA MAX TILT         , 0.0\n"
         "ANTENNA MIN TILT         , 0.0\n"
         "OPERATOR INSTALL DATE    , \n"
         "OPERATOR INSTALL ID      , \n"
         "OPERATOR BASESTATION ID  , \n"
         "OPERATOR SECTOR ID       , \n"
         "OPERATOR ANTENNA BEARING , 0.0\n"
         "OPERATOR MECHANICAL TILT , 0.0\n";
}

class AldListFormatTest : public ::testing::Test {
 protected:
  AldRecord& AddAld(uint8_t type, uint8_t state, const char* uniqueId) {
    AldRecord scratch;
    std::strncpy(scratch.UniqueId, uniqueId, AldRecord::kUniqueIdMax);
    std::memcpy(scratch.VendorCode, uniqueId, 2);
    unsigned slot = table.Insert(scratch);
    AldRecord& ald = table.Record(slot);
    ald.Address = static_cast<uint8_t>(slot);
    ald.DeviceType = type;
    ald.State = state;
    return ald;
  }

  AldRecord& AddSingleRet() {
    AldRecord& ret = AddAld(kAldSingleRet, kStateConnected, "AB00000000000012345");
    ret.ProductNumber = "RET-100";
    ret.SoftwareVersion = "1.2.3";
    ret.HardwareVersion = "A1";
    DeviceData& d = ret.Subunits[0].Data;
    d.TiltValid = 1;
    d.Tilt = -25;
    d.AntennaModelNumber = "ANT-65";
    d.AntennaSerialNumber = "S123";
    d.AntennaFrequencyBands[0] = 0x0120;  // bands 1 and 9
    d.AntennaFrequencyBands[2] = 0x0010;  // band 37
    d.BeamwidthForBands[0] = 65;
    d.BeamwidthForBands[1] = 60;
    d.GainForBands[0] = 175;
    d.GainForBands[1] = 180;
    d.MaxSupportedTilt = 120;
    d.MinSupportedTilt = -20;
    d.InstallationDate = "2024-05-01";
    d.InstallerId = "JD";
    d.BaseStationId = "BS7";
    d.SectorId = "S2";
    d.AntennaBearing = 1205;
    d.InstalledMechanicalTilt = -15;
    return ret;
  }

  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
};

TEST_F(AldListFormatTest, SingleRet) {
  AddSingleRet();
  EXPECT_EQ(AldListCsvText(table),
            std::string(kHeader) +
                "1,CONNECTED,SINGLE - RET,AB,AB00000000000012345,RET-100,1.2.3,A1,NONE,-2.5,ANT-65,S123,1: 9: 37,"
                "65 60 0 0,17.5 18.0 0.0 0.0,12.0,-2.0,2024-05-01,JD,BS7,S2,120.5,-1.5,\n");
  EXPECT_EQ(AldListReportText(table), std::string(kHashes) +
                                          "ADDRESS                  , 1\n"
                                          "STATUS                   , CONNECTED\n"
                                          "TYPE                     , SINGLE RET\n"
                                          "VENDOR                   , AB\n"
                                          "RET Unique Id            , AB00000000000012345\n"
                                          "PRODUCT NUMBER           , RET-100\n"
                                          "SOFTWARE VERSION         , 1.2.3\n"
                                          "HARDWARE VERSION         , A1\n"
                                          "ALARM                    , NONE\n"
                                          "RET TILT                 , -2.5\n"
                                          "ANTENNA MODEL NUMBER     , ANT-65\n"
                                          "ANTENNA SERIAL NUMBER    , S123\n"
                                          "ANTENNA FREQUENCY BAND   , 1: 9: 37\n"
                                          "ANTENNA BEAMWIDTH        , 65 60 0 0\n"
                                          "ANTENNA GAIN             , 17.5 18.0 0.0 0.0\n"
                                          "ANTENNA MAX TILT         , 12.0\n"
                                          "ANTENNA MIN TILT         , -2.0\n"
                                          "OPERATOR INSTALL DATE    , 2024-05-01\n"
                                          "OPERATOR INSTALL ID      , JD\n"
                                          "OPERATOR BASESTATION ID  , BS7\n"
                                          "OPERATOR SECTOR ID       , S2\n"
                                          "OPERATOR ANTENNA BEARING , 120.5\n"
                                          "OPERATOR MECHANICAL TILT , -1.5\n" +
                                          kHashes);
}

TEST_F(AldListFormatTest, SingleRetWithoutTilt) {
  AddSingleRet().Subunits[0].Data.TiltValid = 0;
  EXPECT_NE(AldListCsvText(table).find(",A1,NONE,ERROR,ANT-65,"), std::string::npos);
  EXPECT_NE(AldListReportText(table).find("ALARM                    , NONE\n"
                                          "RET TILT                 , ERROR\n"
                                          "ANTENNA MODEL NUMBER     , ANT-65\n"),
            std::string::npos);
}

TEST_F(AldListFormatTest, MultiRetWithThreeAntennas) {
  AldRecord& ret = AddAld(kAldMultiRet, kStateAddressed, "KA0000000000000MR03");
  ret.ProductNumber = "MR-3";
  ret.SoftwareVersion = "2.0";
  ret.HardwareVersion = "B";
  ret.SubunitCount = 3;
  for (int s = 0; s < 3; ++s) ret.Subunits[s].Data.AntennaModelNumber = "M" + std::to_string(s + 1);
  ret.Subunits[1].Alarms.AlarmCodes[0] = 24;
  ret.Subunits[2].Data.TiltValid = 1;
  ret.Subunits[2].Data.Tilt = 50;

  EXPECT_EQ(AldListCsvText(table), kHeader + Subunit(1) + Subunit(2) + Subunit(3) +
                                       "1,ADDRESSED,MULTI - RET,KA,KA0000000000000MR03,MR-3,2.0,B,NONE," +
                                       BlankAntennaColumns("M1") + "Not Calibrated," + BlankAntennaColumns("M2") +
                                       "NONE," + BlankAntennaColumns("M3") + "\n");
  EXPECT_EQ(AldListReportText(table), std::string(kHashes) +
                                          "ADDRESS                  , 1\n"
                                          "STATUS                   , ADDRESSED\n"
                                          "TYPE                     , MULTI RET\n"
                                          "VENDOR                   , KA\n"
                                          "RET Unique Id            , KA0000000000000MR03\n"
                                          "PRODUCT NUMBER           , MR-3\n"
                                          "SOFTWARE VERSION         , 2.0\n"
                                          "HARDWARE VERSION         , B\n" +
                                          Subunit(1) + "ALARM                    , NONE\n" + BlankAntennaLines("M1") +
                                          Subunit(2) + "ALARM                    , Not Calibrated\n" +
                                          BlankAntennaLines("M2") + Subunit(3) + "ALARM                    , NONE\n" +
                                          BlankAntennaLines("M3") + kHashes);
}

TEST_F(AldListFormatTest, TmaWithTwoSubunits) {
  AldRecord& tma = AddAld(kAldTma, kStateAlarmed, "CC00000000000TMA001");
  tma.ProductNumber = "TMA-P";
  tma.SoftwareVersion = "3.1";
  tma.HardwareVersion = "C";
  tma.SubunitCount = 2;
  tma.Subunits[0].Alarms.AlarmCodes[0] = 36;
  DeviceData& first = tma.Subunits[0].Data;
  first.TmaModeValid = 1;
  first.TmaMode = 1;
  first.TmaGainValid = 1;
  first.TmaGain = 50;
  first.TmaFunctionsMinGain = 16;
  first.TmaFunctionsMaxGain = 120;
  first.TmaFunctionsGainResolution = 8;
  first.TmaModelNumber = "TMA-7";
  first.TmaSerialNumber = "T1";
  first.TmaSubunitType = 1;
  first.TmaRxBandMin = 1736;
  first.TmaRxBandMax = 1880;
  first.TmaTxBandMin = 1805;
  first.TmaTxBandMax = 1880;
  first.TmaMaxGain = 132;
  first.TmaGainResolution = 1;
  DeviceData& second = tma.Subunits[1].Data;
  second.TmaModeValid = 1;
  second.TmaFunctionsFlags = 3;
  second.TmaSubunitType = 2;

  const std::string firstTma =
      "TMA MODE                 : BYPASS\n"
      "TMA GAIN                 : 12.5\n"
      "TMA FUNCTIONS FLAGS      : \n"
      "TMA FUNCTIONS MIN GAIN   : 4.0\n"
      "TMA FUNCTIONS MAX GAIN   : 30.0\n"
      "TMA FUNCTIONS GAIN RES   : 0.5\n"
      "TMA MODEL NUMBER         : TMA-7\n"
      "TMA SERIAL NUMBER        : T1\n"
      "TMA TYPE                 : 1\n"
      "TMA RX FREQUENCY BAND    : MIN = 1736 MAX = 1880\n"
      "TMA TX FREQUENCY BAND    : MIN = 1805 MAX = 1880\n"
      "TMA MAX GAIN             : 33.0\n"
      "TMA MIN GAIN             : 0.0\n"
      "TMA GAIN RESOLUTION      : 4.0\n";
  const std::string secondTma =
      "TMA MODE                 : NORMAL\n"
      "TMA GAIN                 : ERROR\n"
      "TMA FUNCTIONS FLAGS      : 3\n"
      "TMA FUNCTIONS MIN GAIN   : 0.0\n"
      "TMA FUNCTIONS MAX GAIN   : 0.0\n"
      "TMA FUNCTIONS GAIN RES   : 0.0\n"
      "TMA MODEL NUMBER         : \n"
      "TMA SERIAL NUMBER        : \n"
      "TMA TYPE                 : 2\n"
      "TMA RX FREQUENCY BAND    : MIN = 0 MAX = 0\n"
      "TMA TX FREQUENCY BAND    : MIN = 0 MAX = 0\n"
      "TMA MAX GAIN             : 0.0\n"
      "TMA MIN GAIN             : 0.0\n"
      "TMA GAIN RESOLUTION      : 0.0\n";

  EXPECT_EQ(AldListCsvText(table), kHeader + Subunit(1) + firstTma + Subunit(2) + secondTma +
                                       "1,ALARMED,TMA,CC,CC00000000000TMA001,TMA-P,3.1,C,Gain Out Of Range," +
                                       BlankAntennaColumns("") + "NONE," + BlankAntennaColumns("") + "\n");
  EXPECT_EQ(AldListReportText(table), std::string(kHashes) +
                                          "ADDRESS                  , 1\n"
                                          "STATUS                   , ALARMED\n"
                                          "TYPE                     , TMA\n"
                                          "VENDOR                   , CC\n"
                                          "RET Unique Id            , CC00000000000TMA001\n"
                                          "PRODUCT NUMBER           , TMA-P\n"
                                          "SOFTWARE VERSION         , 3.1\n"
                                          "HARDWARE VERSION         , C\n" +
                                          Subunit(1) + "ALARM                    , Gain Out Of Range\n" + firstTma +
                                          BlankAntennaLines("") + Subunit(2) + "ALARM                    , NONE\n" +
                                          secondTma + BlankAntennaLines("") + kHashes);
}

TEST_F(AldListFormatTest, UnknownTypeAndState) {
  AldRecord& odd = AddAld(0xFF, 9, "ZZ000000000000000X1");
  odd.ProductNumber = "P";
  AddAld(kAldSingleRet, kStateDiscovered, "AB00000000000000002");

  std::string csv = AldListCsvText(table);
  EXPECT_EQ(csv.substr(0, csv.find("\n2,")),
            kHeader + std::string("1,UNKNOWN,UNKNOWN,ZZ,ZZ000000000000000X1,P,,,NONE,") + BlankAntennaColumns(""));
  const std::string reportStart = std::string(kHashes) +
                                  "ADDRESS                  , 1\n"
                                  "STATUS                   , UNKNOWN\n"
                                  "TYPE                     , UNKNOWN\n"
                                  "ADDRESS                  , 2\n"
                                  "STATUS                   , DISCOVERED\n"
                                  "TYPE                     , SINGLE RET\n";
  EXPECT_EQ(AldListReportText(table).substr(0, reportStart.size()), reportStart);
}

TEST_F(AldListFormatTest, DeviceTextsCannotBreakTheFiles) {
  AldRecord& ret = AddSingleRet();
  ret.ProductNumber = std::string("RET\0garbage", 11);
  std::memcpy(ret.VendorCode, "ABC", 3);  // no terminating NUL in the record
  ret.Subunits[0].Data.AntennaModelNumber = "%s%n,\"65\"";
  ret.SubunitCount = 200;

  std::string csv = AldListCsvText(table);
  EXPECT_NE(csv.find("1,CONNECTED,SINGLE - RET,ABC,AB00000000000012345,RET,1.2.3,"), std::string::npos);
  EXPECT_NE(csv.find(",-2.5,\"%s%n,\"\"65\"\"\",S123,"), std::string::npos);
  std::string report = AldListReportText(table);
  EXPECT_NE(report.find("ANTENNA MODEL NUMBER     , %s%n,\"65\"\n"), std::string::npos);
  EXPECT_NE(report.find("PRODUCT NUMBER           , RET\n"), std::string::npos);
  // The record holds six subunits at most, whatever count it was given.
  EXPECT_NE(report.find(Subunit(6)), std::string::npos);
  EXPECT_EQ(report.find(Subunit(7)), std::string::npos);
}

TEST_F(AldListFormatTest, EveryAldInTheTableInSlotOrder) {
  AddSingleRet();
  AddSingleRet().Address = 7;
  AddSingleRet();
  std::string csv = AldListCsvText(table);
  size_t first = csv.find("\n1,CONNECTED");
  size_t second = csv.find("\n7,CONNECTED");
  size_t third = csv.find("\n3,CONNECTED");
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
  EXPECT_NE(third, std::string::npos);
  EXPECT_EQ(AldListCsvText(*std::make_unique<AldTable>(log)), kHeader);
}

// Answers with the name the user typed, completed as the save dialog does:
// a new file's name without an extension gets the default one.
struct ScriptedChooser : FileChooser {
  std::optional<std::string> ChooseSaveFile(const std::string& defaultSuffix,
                                            const std::vector<std::string>& filters) override {
    ++asked;
    suffix = defaultSuffix;
    this->filters = filters;
    if (!answer || answer->empty() || !FileExtension(*answer).empty() || std::filesystem::exists(*answer)) {
      return answer;
    }
    return *answer + "." + defaultSuffix;
  }
  std::optional<std::string> answer;
  std::string suffix;
  std::vector<std::string> filters;
  int asked = 0;
};

class SaveAldListTest : public AldListFormatTest {
 protected:
  void SetUp() override {
    SetMessageBoxHook([this](const std::string& text) { boxes.push_back(text); });
  }
  void TearDown() override { SetMessageBoxHook(nullptr); }

  AldListSaveResult Save() { return SaveAldList(table, settings, chooser, log, diagnostics); }

  MemoryProfileStore store;
  Settings settings{store, log};
  ScriptedChooser chooser;
  std::ostringstream diagnostics;
  std::vector<std::string> boxes;
};

TEST_F(SaveAldListTest, EmptyTableAsksForAScan) {
  EXPECT_EQ(Save(), AldListSaveResult::kNoAlds);
  EXPECT_EQ(boxes, std::vector<std::string>{"No ALD available. Please click Scan"});
  EXPECT_EQ(chooser.asked, 0);
}

TEST_F(SaveAldListTest, CancelledChooserLeavesEarlierListAlone) {
  AddSingleRet();
  std::string earlier = dir.File("earlier.txt");
  std::ofstream(earlier) << "the list saved last week\n";
  settings.SetAldListFile(earlier);
  size_t writes = store.Writes().size();
  TakeTraceLines(log);

  EXPECT_EQ(Save(), AldListSaveResult::kCancelled);
  EXPECT_EQ(chooser.asked, 1);
  EXPECT_EQ(ReadFile(earlier), "the list saved last week\n");
  EXPECT_EQ(settings.ALDListFile, earlier);
  EXPECT_EQ(store.Writes().size(), writes);
  EXPECT_TRUE(TakeTraceLines(log).empty());
}

TEST_F(SaveAldListTest, ExtensionChoosesTheFormat) {
  AddSingleRet();
  TakeTraceLines(log);
  chooser.answer = dir.File("site.csv");
  EXPECT_EQ(Save(), AldListSaveResult::kSaved);
  EXPECT_EQ(chooser.suffix, "csv");
  EXPECT_EQ(chooser.filters.at(0), "ALD Files (*.txt)");
  EXPECT_EQ(ReadFile(dir.File("site.csv")).rfind(kHeader, 0), 0u);
  EXPECT_EQ(settings.ALDListFile, dir.File("site.csv"));
  EXPECT_EQ(store.ReadString("ALDListFile", ""), dir.File("site.csv"));
  EXPECT_EQ(TakeTraceLines(log),
            std::vector<std::string>{"INF MAIN ... Saving ALD's List to: " + dir.File("site.csv")});
  EXPECT_EQ(diagnostics.str(), "");

  for (const char* name : {"site.CSV", "site.txt"}) {
    chooser.answer = dir.File(name);
    EXPECT_EQ(Save(), AldListSaveResult::kSaved);
    std::string text = ReadFile(dir.File(name));
    EXPECT_EQ(text.rfind(kHashes, 0), 0u) << name;
    EXPECT_EQ(text.find('\r'), std::string::npos) << name;
  }
  EXPECT_EQ(diagnostics.str(), "txt format\ntxt format\n");
}

// A name typed without an extension becomes a comma-separated list.
TEST_F(SaveAldListTest, NameWithoutExtensionSavesTheCommaSeparatedList) {
  AddSingleRet();
  chooser.answer = dir.File("site");
  EXPECT_EQ(Save(), AldListSaveResult::kSaved);
  EXPECT_FALSE(std::filesystem::exists(dir.File("site")));
  EXPECT_EQ(ReadFile(dir.File("site.csv")), AldListCsvText(table));
  EXPECT_EQ(settings.ALDListFile, dir.File("site.csv"));
  EXPECT_EQ(diagnostics.str(), "");
}

TEST_F(SaveAldListTest, ChosenFileIsReplacedWhole) {
  AddSingleRet();
  std::string path = dir.File("alds.txt");
  std::ofstream(path) << std::string(100000, 'x');
  chooser.answer = path;
  EXPECT_EQ(Save(), AldListSaveResult::kSaved);
  EXPECT_EQ(ReadFile(path), AldListReportText(table));
}

TEST_F(SaveAldListTest, FilesThatCannotBeWrittenAreReported) {
  AddSingleRet();
  TakeTraceLines(log);
  chooser.answer = dir.File("missing/alds.csv");
  EXPECT_EQ(Save(), AldListSaveResult::kCannotOpen);
  EXPECT_EQ(TakeTraceLines(log).back(), "ERR MAIN ... Unable to open file!");

  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fill";
  chooser.answer = "/dev/full";
  EXPECT_EQ(Save(), AldListSaveResult::kWriteFailed);
  EXPECT_EQ(TakeTraceLines(log).back(), "ERR MAIN ... Unable to write file!");
}

TEST(FileExtension, IsTheTextAfterTheLastDotOfTheFileName) {
  EXPECT_EQ(FileExtension("/home/tech/site.csv"), "csv");
  EXPECT_EQ(FileExtension("/home/tech/site.CSV"), "CSV");
  EXPECT_EQ(FileExtension("/home/tech/site.backup.csv"), "csv");
  EXPECT_EQ(FileExtension("/home/tech.csv/site"), "");
  EXPECT_EQ(FileExtension("site"), "");
  EXPECT_EQ(FileExtension("site."), "");
}

}  // namespace
