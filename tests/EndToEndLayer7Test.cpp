#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "AldsimProcess.h"
#include "RunTiming.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/FakeClock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/DataFieldId.h"
#include "link/AisgHdlc.h"

namespace {

// The demonstration site with its long procedures sped up, so the engine's
// waits (on a fake clock, polling back to back) end within a few seconds.
std::string FastDemoSite(const TempDir& dir) {
  std::ifstream in(std::string(TILTDECK_SOURCE_DIR) + "/sim/sites/demo.json");
  nlohmann::json site = nlohmann::json::parse(in);
  for (auto& device : site["devices"]) {
    device["timing"] = {
        {"tiltDegPerS", 20.0}, {"moveSettleMs", 100}, {"calibrationMs", 600}, {"selfTestMs", 300}, {"restartMs", 300}};
  }
  std::string path = dir.File("site.json");
  std::ofstream(path) << site.dump(2);
  return path;
}

// Layer 7 of the primary over the real serial layer on the simulator's
// pseudo-terminal: every byte crosses a tty at 9600 baud.
class EndToEndLayer7 : public ::testing::Test {
 protected:
  TempDir dir;
  AldsimProcess sim{{"--site", FastDemoSite(dir)}};
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  AisgHdlc link{log, table};
  FakeClock clock;
  AisgLayer7 l7{link, table, log, clock};

  void SetUp() override {
    AisgSerial::ClearLastError();
    ApplyRunTiming(link);
    link.ConfigurePort(sim.LinkPath(), 9600);
    ASSERT_EQ(AisgSerial::LastError(), "");
  }
  void TearDown() override {
    link.Close();
    if (HasFailure()) std::fprintf(stderr, "%s", ReadFile(dir.File("trace.txt")).c_str());
  }

  // Addresses and connects the device with this identifier in `slot`.
  void Attach(unsigned slot, const std::string& uniqueId, uint8_t type) {
    AldRecord& r = table.Record(slot);
    r.InUse = 1;
    r.DeviceType = type;
    std::memcpy(r.UniqueId, uniqueId.data(), uniqueId.size());
    r.UniqueIdLength = static_cast<uint8_t>(uniqueId.size());
    ASSERT_EQ(link.AssignAddress(static_cast<uint8_t>(slot)), kSuccess);
    ASSERT_EQ(link.Connect(static_cast<uint8_t>(slot)), kSuccess);
  }
};

TEST_F(EndToEndLayer7, SingleRetSession) {
  Attach(1, "KA0000801234567", kAldSingleRet);
  AldRecord& ret = table.Record(1);
  EXPECT_EQ(l7.GetInformation(1, ret), kSuccess);
  EXPECT_EQ(ret.ProductNumber, "RET-8001");
  EXPECT_EQ(ret.SoftwareVersion, "SW 3.4.17");

  AlarmList& alarms = ret.Subunits[0].Alarms;
  EXPECT_NE(l7.GetAlarmStatus(1, alarms), kSuccess);  // the site starts it uncalibrated
  EXPECT_EQ(l7.RetSetTilt(1, 45), kNotCalibrated);

  EXPECT_EQ(l7.RetCalibrate(1), kSuccess);
  EXPECT_EQ(l7.RetSetTilt(1, 45), kSuccess);
  EXPECT_GT(clock.Sleeps(), 0u);  // the move made the engine wait
  int16_t tilt = 0;
  EXPECT_EQ(l7.RetGetTilt(1, tilt), kSuccess);
  EXPECT_EQ(tilt, 45);
  EXPECT_EQ(l7.RetSetTilt(1, 900), kOutOfRange);
  EXPECT_EQ(ret.Busy, 0);

  table.SelectAld(1);
  table.CurrentDeviceData()->InstallerId = "TK042";
  table.CurrentDeviceData()->AntennaBearing = 2715;
  EXPECT_EQ(l7.RetSetDeviceData(1, kFieldOperatorInstallId), kSuccess);
  EXPECT_EQ(l7.RetSetDeviceData(1, kFieldOperatorAntennaBearing), kSuccess);
  DeviceData back;
  EXPECT_EQ(l7.RetGetDeviceData(1, kFieldOperatorInstallId, back), kSuccess);
  EXPECT_EQ(l7.RetGetDeviceData(1, kFieldOperatorAntennaBearing, back), kSuccess);
  EXPECT_EQ(back.InstallerId, "TK042");
  EXPECT_EQ(back.AntennaBearing, 2715);

  nlohmann::json state = sim.State();
  EXPECT_NE(state.dump().find("TK042"), std::string::npos);
}

TEST_F(EndToEndLayer7, TmaGainAndMode) {
  Attach(2, "TW21800045", kAldTma);
  EXPECT_EQ(l7.TmaSetGain(2, 1, 0x20), kSuccess);
  uint8_t gain = 0;
  EXPECT_EQ(l7.TmaGetGain(2, 1, gain), kSuccess);
  EXPECT_EQ(gain, 0x20);
  EXPECT_EQ(l7.TmaSetGain(2, 1, 0x60), 36);  // beyond the maximum: Gain Out Of Range
  EXPECT_EQ(l7.TmaSetMode(2, 2, 1), kSuccess);
  uint8_t mode = 0;
  EXPECT_EQ(l7.TmaGetMode(2, 2, mode), kSuccess);
  EXPECT_EQ(mode, 1);
  uint8_t count = 0;
  EXPECT_EQ(l7.TmaGetNumberSubunits(2, count), kSuccess);
  EXPECT_EQ(count, 2);
}

TEST_F(EndToEndLayer7, FirmwareAndConfigurationTransfers) {
  Attach(1, "AN07RET4410", kAldSingleRet);
  std::vector<uint8_t> image(2000);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  EXPECT_EQ(l7.TransferFirmware(1, image.data(), image.size()), kSuccess);
  // The first RET restarts with its new software; the configuration goes
  // to another one.
  Attach(2, "KA0000801234568", kAldSingleRet);
  std::vector<uint8_t> config(300, 0x5A);
  EXPECT_EQ(l7.TransferConfigData(2, config.data(), config.size()), kSuccess);
  std::string state = sim.State().dump();
  EXPECT_NE(state.find("\"lastDownloadOctets\":2000"), std::string::npos) << state.substr(0, 400);
  EXPECT_NE(state.find("\"configOctets\":300"), std::string::npos);
}

}  // namespace
