#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>

#include "FakePortInventory.h"
#include "TempDir.h"
#include "TraceLines.h"
#include "core/TraceLog.h"
#include "persist/MemoryProfileStore.h"
#include "persist/ScanOptionsSink.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "serial/AisgSerial.h"

namespace {

using ::testing::ElementsAre;

struct RecordingScanSink : ScanOptionsSink {
  void SetMaxIterations(int32_t v) override { calls.push_back("MaxIterations=" + std::to_string(v)); }
  void SetAutoConnect(int32_t v) override { calls.push_back("AutoConnect=" + std::to_string(v)); }
  void SetRepeatMode(int32_t v) override { calls.push_back("RepeatMode=" + std::to_string(v)); }
  std::vector<std::string> calls;
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { AisgSerial::SetDetectedPort(""); }
  void TearDown() override { AisgSerial::SetDetectedPort(""); }

  // Loads fresh settings from the store, as a new start of the program does.
  std::unique_ptr<Settings> Started() {
    auto settings = std::make_unique<Settings>(store, log);
    settings->SetPortReopen(
        [this](const std::string& port, int32_t baud) { reopens.push_back(port + "@" + std::to_string(baud)); });
    settings->SetScanOptionsSink(&scan);
    settings->Load(detector);
    return settings;
  }

  void FindFtdiAdapterOn(const std::string& path) {
    inventory.Add("USB Serial Port (" + path + ")", "FTDI", "USB\\VID_0403&PID_6001\\A1");
    ASSERT_EQ(detector.FindAdapterPort(), 1);
  }

  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  MemoryProfileStore store;
  FakePortInventory inventory;
  std::ostringstream diagnostics;
  AdapterDetector detector{log, inventory, diagnostics};
  std::vector<std::string> reopens;
  RecordingScanSink scan;
};

// Points HOME at a folder for the life of the object.
class ScopedHome {
 public:
  explicit ScopedHome(const std::string& home) {
    const char* old = std::getenv("HOME");
    if (old != nullptr) old_ = old;
    setenv("HOME", home.c_str(), 1);
  }
  ~ScopedHome() {
    if (old_) {
      setenv("HOME", old_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }

 private:
  std::optional<std::string> old_;
};

TEST_F(SettingsTest, FirstStartUsesDefaultsAndWritesOnlyTheFirstLaunchMarker) {
  ScopedHome home(dir.File("tech"));
  auto s = Started();
  EXPECT_EQ(s->IsFirstLaunch.Load(), 1);
  EXPECT_EQ(store.ReadInt("IsFirstLaunch", -1), 0);
  EXPECT_THAT(store.Writes(), ElementsAre("IsFirstLaunch"));

  EXPECT_EQ(s->ComPort, "/dev/ttyS0");
  EXPECT_EQ(s->ALDListFile, dir.File("tech") + "/ald_list.txt");
  EXPECT_EQ(s->SerialBaudrate.Load(), 9600);
  EXPECT_EQ(s->ScanMaxIterations.Load(), 9999);
  EXPECT_EQ(s->AldListFields.Load(), 0xFFFF);
  EXPECT_EQ(s->ScanAutoconnect.Load(), 1);
  EXPECT_EQ(s->ScanRepeatMode.Load(), 1);
  EXPECT_EQ(s->ScanPreviouslyFound.Load(), 0);
  EXPECT_EQ(s->DownloadAutoconnect.Load(), 1);
  EXPECT_EQ(s->EnablePolling.Load(), 1);
  EXPECT_EQ(s->RefreshSelectedAld.Load(), 1);
  EXPECT_EQ(s->ComPortAutoDetection.Load(), 1);
  EXPECT_EQ(s->FastExchanges.Load(), 1);
  EXPECT_EQ(s->ExchangeGuardMs.Load(), 5);
  for (const char* tag : {"MAIN", "COMM", "HDLC", "AISG", "POLL"}) EXPECT_FALSE(log.IsClassSuppressed(tag)) << tag;
  EXPECT_EQ(s->ReadApplicationLook(), 5006);

  auto second = Started();
  EXPECT_EQ(second->IsFirstLaunch.Load(), 0);
  EXPECT_THAT(store.Writes(), ElementsAre("IsFirstLaunch"));
}

TEST_F(SettingsTest, SaveAndLoadRoundTripEveryKey) {
  auto s = Started();
  s->ComPort = "/dev/ttyUSB1";
  s->ComPortAutoDetection = 0;
  s->SerialBaudrate = 19200;
  s->ScanMaxIterations = 12;
  s->AldListFields = 0x2003;
  s->ScanAutoconnect = 2;
  s->ScanRepeatMode = 3;
  s->ScanPreviouslyFound = 4;
  s->DownloadAutoconnect = 5;
  s->EnablePolling = 6;
  s->RefreshSelectedAld = 7;
  s->TraceAisgSerial = 8;
  s->TraceAisgHdlc = 9;
  s->TraceAisgLayer7 = 10;
  s->TraceAisgMain = 11;
  s->TraceAisgPolling = 12;
  s->FastExchanges = 0;
  s->ExchangeGuardMs = 9;
  ASSERT_TRUE(s->Save());

  auto loaded = Started();
  EXPECT_EQ(loaded->ComPort, "/dev/ttyUSB1");
  EXPECT_EQ(loaded->ComPortAutoDetection.Load(), 0);
  EXPECT_EQ(loaded->SerialBaudrate.Load(), 19200);
  EXPECT_EQ(loaded->ScanMaxIterations.Load(), 12);
  EXPECT_EQ(loaded->AldListFields.Load(), 0x2003);
  EXPECT_EQ(loaded->ScanAutoconnect.Load(), 2);
  EXPECT_EQ(loaded->ScanRepeatMode.Load(), 3);
  EXPECT_EQ(loaded->ScanPreviouslyFound.Load(), 4);
  EXPECT_EQ(loaded->DownloadAutoconnect.Load(), 5);
  EXPECT_EQ(loaded->EnablePolling.Load(), 6);
  EXPECT_EQ(loaded->RefreshSelectedAld.Load(), 7);
  EXPECT_EQ(loaded->TraceAisgSerial.Load(), 8);
  EXPECT_EQ(loaded->TraceAisgHdlc.Load(), 9);
  EXPECT_EQ(loaded->TraceAisgLayer7.Load(), 10);
  EXPECT_EQ(loaded->TraceAisgMain.Load(), 11);
  EXPECT_EQ(loaded->TraceAisgPolling.Load(), 12);
  EXPECT_EQ(loaded->FastExchanges.Load(), 0);
  EXPECT_EQ(loaded->ExchangeGuardMs.Load(), 9);
}

// The link takes the exchange timing when it is bound, at every load and
// at every save; a guard time out of reason is held to its bounds.
TEST_F(SettingsTest, ExchangeTimingReachesTheLink) {
  std::vector<std::string> timings;
  auto s = Started();
  s->SetExchangeTimingSink([&timings](bool fast, uint32_t guardMs) {
    timings.push_back(std::to_string(fast) + "/" + std::to_string(guardMs));
  });
  EXPECT_THAT(timings, ElementsAre("1/5"));
  s->FastExchanges = 0;
  s->ExchangeGuardMs = -3;
  ASSERT_TRUE(s->Save());
  s->FastExchanges = 1;
  s->ExchangeGuardMs = 60000;
  ASSERT_TRUE(s->Save());
  s->Load(detector);
  EXPECT_THAT(timings, ElementsAre("1/5", "0/0", "1/1000", "1/1000"));
}

TEST_F(SettingsTest, SaveHandsScanOptionsToTheEngine) {
  auto s = Started();
  s->ScanMaxIterations = 50;
  s->ScanAutoconnect = 0;
  s->ScanRepeatMode = 0;
  s->Save();
  EXPECT_THAT(scan.calls, ElementsAre("MaxIterations=50", "AutoConnect=0", "RepeatMode=0"));
}

TEST_F(SettingsTest, ScanAndPollOptionsCarryTheirOwnSettings) {
  auto s = Started();
  s->ScanAutoconnect = 0;
  s->ScanMaxIterations = 77;
  s->ScanRepeatMode = 2;
  s->ScanPreviouslyFound = 3;
  s->EnablePolling = 4;
  ScanOptions scanOptions = s->CurrentScanOptions();
  EXPECT_EQ(scanOptions.AutoConnect, 0);
  EXPECT_EQ(scanOptions.MaxIterations, 77);
  EXPECT_EQ(scanOptions.RepeatMode, 2);
  EXPECT_EQ(scanOptions.PreviouslyFound, 3);
  PollOptions pollOptions = s->CurrentPollOptions();
  EXPECT_EQ(pollOptions.EnablePolling, 4);
  EXPECT_EQ(pollOptions.ScanAutoconnect, 0);
}

TEST_F(SettingsTest, DetectedAdapterReplacesStoredPortInMemoryOnly) {
  store.WriteString("ComPort", "/dev/ttyS3");
  FindFtdiAdapterOn("/dev/ttyUSB0");
  auto s = Started();
  EXPECT_EQ(s->ComPort, "/dev/ttyUSB0");
  EXPECT_EQ(store.ReadString("ComPort", ""), "/dev/ttyS3");

  // The next save stores the detected port and moves the open port to it.
  s->Save();
  EXPECT_EQ(store.ReadString("ComPort", ""), "/dev/ttyUSB0");
  EXPECT_THAT(reopens, ElementsAre("/dev/ttyUSB0@9600"));
}

TEST_F(SettingsTest, DetectedAdapterIgnoredWhenAutoDetectionIsOffOrNothingFound) {
  store.WriteString("ComPort", "/dev/ttyS3");
  auto nothingFound = Started();
  EXPECT_EQ(nothingFound->ComPort, "/dev/ttyS3");

  store.WriteInt("ComPortAutoDetection", 0);
  FindFtdiAdapterOn("/dev/ttyUSB0");
  auto switchedOff = Started();
  EXPECT_EQ(switchedOff->ComPort, "/dev/ttyS3");
}

TEST_F(SettingsTest, LoadListsThePortsOnce) {
  inventory.ports = {"/dev/ttyS0", "/dev/ttyUSB0"};
  auto s = Started();
  EXPECT_THAT(s->Ports, ElementsAre("/dev/ttyS0", "/dev/ttyUSB0"));
  s->Load(detector);
  EXPECT_THAT(s->Ports, ElementsAre("/dev/ttyS0", "/dev/ttyUSB0"));
}

TEST_F(SettingsTest, PortReopensOnlyWhenItsNameChanged) {
  auto s = Started();
  s->Save();  // stores the default port, which is the one in force
  EXPECT_TRUE(reopens.empty());

  s->ComPort = "/dev/ttyUSB2";
  s->SerialBaudrate = 19200;
  s->Save();
  s->Save();
  EXPECT_THAT(reopens, ElementsAre("/dev/ttyUSB2@19200"));

  s->ComPort = "/dev/TTYUSB2";  // device names differ by case
  s->Save();
  EXPECT_EQ(reopens.back(), "/dev/TTYUSB2@19200");
}

TEST_F(SettingsTest, TraceClassesFollowTheFlagsAtLoadAndSave) {
  store.WriteInt("TraceAisgHdlc", 0);
  store.WriteInt("TraceAisgPolling", 0);
  auto s = Started();
  EXPECT_TRUE(log.IsClassSuppressed("HDLC"));
  EXPECT_TRUE(log.IsClassSuppressed("POLL"));
  EXPECT_FALSE(log.IsClassSuppressed("MAIN"));
  EXPECT_FALSE(log.IsClassSuppressed("COMM"));
  EXPECT_FALSE(log.IsClassSuppressed("AISG"));

  s->TraceAisgHdlc = 1;
  s->TraceAisgPolling = 1;
  s->TraceAisgMain = 0;
  s->TraceAisgSerial = 0;
  s->TraceAisgLayer7 = 0;
  s->Save();
  EXPECT_TRUE(log.IsClassSuppressed("MAIN"));
  EXPECT_TRUE(log.IsClassSuppressed("COMM"));
  EXPECT_TRUE(log.IsClassSuppressed("AISG"));
  EXPECT_FALSE(log.IsClassSuppressed("HDLC"));
  EXPECT_FALSE(log.IsClassSuppressed("POLL"));
}

TEST_F(SettingsTest, PollingTraceStopsAtOnceAfterSave) {
  auto s = Started();
  TakeTraceLines(log);
  s->TraceAisgPolling = 0;
  s->Save();
  log.Write(kTraceInfo, TraceClass::kPoll, 1, "Polling ALD");
  log.Write(kTraceInfo, TraceClass::kHdlc, 1, "RR");
  EXPECT_THAT(TakeTraceLines(log), ElementsAre("INF HDLC 001 RR"));
}

TEST_F(SettingsTest, RestoreDefaultsEmptiesStoreAndStopsSavesForTheRun) {
  auto s = Started();
  s->ComPort = "/dev/ttyUSB1";
  s->Save();
  store.WriteInt("ApplicationLook", 5002);
  size_t writes = store.Writes().size();
  reopens.clear();
  scan.calls.clear();

  s->RestoreDefaults();
  EXPECT_EQ(s->DefaultsRestored.Load(), 1);
  EXPECT_EQ(store.KeyCount(), 0u);

  s->ComPort = "/dev/ttyUSB9";
  EXPECT_FALSE(s->Save());
  EXPECT_EQ(store.Writes().size(), writes);
  EXPECT_TRUE(reopens.empty());
  EXPECT_TRUE(scan.calls.empty());

  auto next = Started();
  EXPECT_EQ(next->IsFirstLaunch.Load(), 1);
  EXPECT_EQ(next->ComPort, "/dev/ttyS0");
  EXPECT_EQ(next->ReadApplicationLook(), 5006);
  EXPECT_EQ(next->DefaultsRestored.Load(), 0);
}

TEST_F(SettingsTest, SetAldListFileWritesOnlyThatKey) {
  auto s = Started();
  size_t writes = store.Writes().size();
  s->SetAldListFile("/home/tech/site 7/alds.csv");
  EXPECT_EQ(s->ALDListFile, "/home/tech/site 7/alds.csv");
  ASSERT_EQ(store.Writes().size(), writes + 1);
  EXPECT_EQ(store.Writes().back(), "ALDListFile");
  EXPECT_EQ(Started()->ALDListFile, "/home/tech/site 7/alds.csv");
}

TEST_F(SettingsTest, FieldSelectionKeepsTheAldColumn) {
  auto s = Started();
  std::array<bool, Settings::kAldListFieldCount> checked{};
  s->TakeFieldSelection(checked);
  s->Save();
  EXPECT_EQ(store.ReadInt("AldListFields", -1), 1);

  checked[0] = true;
  checked[4] = true;
  checked[15] = true;
  s->TakeFieldSelection(checked);
  EXPECT_EQ(s->AldListFields.Load(), 0x8011);
}

TEST_F(SettingsTest, StoredBaudRateIsUsedAtLoad) {
  store.WriteInt("SerialBaudrate", 19200);
  EXPECT_EQ(Started()->SerialBaudrate.Load(), 19200);
}

}  // namespace
