#include <gtest/gtest.h>

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <fstream>
#include <sstream>

#include "FakePortInventory.h"
#include "TempDir.h"
#include "core/TraceLog.h"
#include "persist/ProfileStoreQt.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "serial/AisgSerial.h"

namespace {

// The user's INI files go to a scratch folder while a test runs.
class SettingsQtStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AisgSerial::SetDetectedPort("");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(config.Path().string()));
  }
  void TearDown() override {
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
  }

  std::unique_ptr<ProfileStoreQt> UserStore() {
    return std::make_unique<ProfileStoreQt>(Settings::kVendorKey, Settings::kApplication, Settings::kSection);
  }

  std::unique_ptr<Settings> Started(ProfileStore& store) {
    auto settings = std::make_unique<Settings>(store, log);
    settings->Load(detector);
    return settings;
  }

  std::string IniPath() const { return config.File("Orvel5.16.0Apr 27 201809:17:22/Tiltdeck.ini"); }

  TempDir config;
  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  FakePortInventory inventory;
  std::ostringstream diagnostics;
  AdapterDetector detector{log, inventory, diagnostics};
};

TEST_F(SettingsQtStoreTest, KeysLiveInTheBuildsSectionOfTheUsersIniFile) {
  auto store = UserStore();
  EXPECT_EQ(store->FilePath(), IniPath());
  auto s = Started(*store);
  EXPECT_EQ(s->IsFirstLaunch.Load(), 1);

  std::string ini = ReadFile(IniPath());
  EXPECT_NE(ini.find("[SettingsOrvel]\nIsFirstLaunch=0\n"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("ComPort"), std::string::npos) << "load writes nothing else";

  auto reopened = UserStore();
  EXPECT_EQ(Started(*reopened)->IsFirstLaunch.Load(), 0);
}

TEST_F(SettingsQtStoreTest, SettingsRoundTripThroughTheFile) {
  auto store = UserStore();
  auto s = Started(*store);
  s->SetAldListFile("/home/tech/Sites, 2024/@list %s \\ Größe.txt");
  s->ComPort = "/dev/serial/by-id/usb-FTDI_FT232R_A5X,rev 2-if00";
  s->SerialBaudrate = 19200;
  s->AldListFields = 0x0003;
  s->EnablePolling = 0;
  s->TraceAisgHdlc = 0;
  ASSERT_TRUE(s->Save());
  // On disk already, not only in this process's copy of the file.
  EXPECT_NE(ReadFile(IniPath()).find("SerialBaudrate=19200\n"), std::string::npos);

  auto reopened = UserStore();
  auto loaded = Started(*reopened);
  EXPECT_EQ(loaded->ComPort, "/dev/serial/by-id/usb-FTDI_FT232R_A5X,rev 2-if00");
  EXPECT_EQ(loaded->ALDListFile, "/home/tech/Sites, 2024/@list %s \\ Größe.txt");
  EXPECT_EQ(loaded->SerialBaudrate.Load(), 19200);
  EXPECT_EQ(loaded->AldListFields.Load(), 0x0003);
  EXPECT_EQ(loaded->EnablePolling.Load(), 0);
  EXPECT_EQ(loaded->TraceAisgHdlc.Load(), 0);
  EXPECT_EQ(loaded->ScanMaxIterations.Load(), 9999);
}

TEST_F(SettingsQtStoreTest, MissingOrGarbledValuesReadAsDefaults) {
  auto store = UserStore();
  EXPECT_EQ(store->ReadInt("SerialBaudrate", 9600), 9600);
  EXPECT_EQ(store->ReadString("ComPort", "/dev/ttyS0"), "/dev/ttyS0");

  std::filesystem::create_directories(std::filesystem::path(IniPath()).parent_path());
  std::ofstream(IniPath()) << "[SettingsOrvel]\nSerialBaudrate=fast\nScanMaxIterations=12\n";
  auto edited = UserStore();
  EXPECT_EQ(edited->ReadInt("SerialBaudrate", 9600), 9600);
  EXPECT_EQ(edited->ReadInt("ScanMaxIterations", 9999), 12);
}

TEST_F(SettingsQtStoreTest, DeleteSectionRemovesEverythingBelowIt) {
  auto store = UserStore();
  store->WriteString("ComPort", "/dev/ttyUSB0");
  store->WriteInt("Layout/DockState", 3);
  store->Flush();
  store->DeleteSection();
  store->Flush();

  auto reopened = UserStore();
  EXPECT_EQ(reopened->ReadString("ComPort", "none"), "none");
  EXPECT_EQ(reopened->ReadInt("Layout/DockState", -1), -1);
  EXPECT_EQ(ReadFile(IniPath()).find("SettingsOrvel"), std::string::npos);
}

}  // namespace
