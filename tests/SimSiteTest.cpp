#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "SimHarness.h"
#include "TempDir.h"

namespace {

std::string SiteFile(const std::string& name) {
  return (std::filesystem::path(TILTDECK_SOURCE_DIR) / "sim" / "sites" / name).string();
}

struct Loaded {
  bool Ok;
  std::string Error;
  size_t Devices;
};

Loaded LoadJson(const nlohmann::json& site) {
  FakeClock clock;
  VirtualBus bus(clock);
  SimSite::BusSettings settings;
  std::string error;
  bool ok = SimSite::FromJson(site, bus, settings, &error);
  return {ok, error, bus.Count()};
}

TEST(SimSiteFiles, ShippedSitesLoadWithDistinctIdentifiers) {
  for (auto [name, count] :
       {std::pair<const char*, size_t>{"demo.json", 5}, {"site16.json", 16}, {"site64.json", 64}}) {
    FakeClock clock;
    VirtualBus bus(clock);
    SimSite::BusSettings settings;
    std::string error;
    ASSERT_TRUE(SimSite::Load(SiteFile(name), bus, settings, &error)) << name << ": " << error;
    ASSERT_EQ(bus.Count(), count) << name;
    std::set<std::string> ids;
    nlohmann::ordered_json state = bus.StateJson();
    for (const auto& device : state["devices"]) ids.insert(device["uniqueId"].get<std::string>());
    EXPECT_EQ(ids.size(), count) << name;
  }
}

TEST(SimSiteFiles, ShippedDemoIsTheBuiltInDemo) {
  FakeClock clock;
  VirtualBus bus(clock);
  SimSite::BusSettings settings;
  std::string error;
  ASSERT_TRUE(SimSite::FromJson(SimSite::Demo(), bus, settings, &error)) << error;
  TempDir dir;
  ASSERT_TRUE(SimSite::Save(dir.File("demo.json"), bus, settings, &error)) << error;
  EXPECT_EQ(ReadFile(dir.File("demo.json")), ReadFile(SiteFile("demo.json")));
}

TEST(SimSiteFiles, SavedSiteLoadsBackToTheSameDevices) {
  FakeClock clock;
  VirtualBus bus(clock);
  SimSite::BusSettings settings;
  std::string error;
  ASSERT_TRUE(SimSite::Load(SiteFile("site16.json"), bus, settings, &error)) << error;
  bus.RaiseAlarm(3, 1, 0x02);
  TempDir dir;
  ASSERT_TRUE(SimSite::Save(dir.File("again.json"), bus, settings, &error)) << error;
  VirtualBus again(clock);
  SimSite::BusSettings settingsAgain;
  ASSERT_TRUE(SimSite::Load(dir.File("again.json"), again, settingsAgain, &error)) << error;
  EXPECT_EQ(again.StateJson(), bus.StateJson());
  EXPECT_EQ(settingsAgain.Baud, settings.Baud);
}

TEST(SimSiteFiles, BusSettingsAreRead) {
  FakeClock clock;
  VirtualBus bus(clock);
  SimSite::BusSettings settings;
  std::string error;
  nlohmann::json site = {
      {"bus", {{"baud", 19200}, {"turnaroundMs", 8}, {"collisions", "garble"}, {"addressTimeoutS", 5}}},
      {"devices", {SimHarness::SingleRet("KA1")}}};
  ASSERT_TRUE(SimSite::FromJson(site, bus, settings, &error)) << error;
  EXPECT_EQ(settings.Baud, 19200u);
  EXPECT_EQ(settings.TurnaroundMs, 8u);
  EXPECT_EQ(bus.CollisionMode(), VirtualBus::Collisions::kGarble);
  bus.WithDevice(0, [](SimAld& d) { EXPECT_EQ(d.Config().AddressTimeoutMs, 5000u); });
}

TEST(SimSiteFiles, BadSitesAreRefusedWithAReason) {
  auto device = [](nlohmann::json patch) {
    nlohmann::json d = SimHarness::SingleRet("KA0001");
    d.update(patch);
    return nlohmann::json{{"devices", {d}}};
  };
  struct Case {
    nlohmann::json Site;
    const char* Reason;
  };
  std::vector<Case> cases = {
      {device({{"type", "toaster"}}), "toaster"},
      {device({{"uniqueId", "KA12345678901234567X"}}), "uniqueId"},
      {device({{"uniqueId", "K"}}), "uniqueId"},
      {device({{"vendorCode", "KAB"}}), "vendorCode"},
      {device({{"subunits", {{}, {}}}}), "one antenna"},
      {device({{"type", "tma"}, {"subunits", nlohmann::json::array({{}, {}, {}, {}, {}, {}, {}})}}), "1 to 6"},
      {device({{"subunits", {{{"fields", {{"tmaMaxGain", 3}}}}}}}), "tmaMaxGain"},
      {device({{"subunits", {{{"fields", {{"antennaModelNumber", "ABCDEFGHIJKLMNOP"}}}}}}}), "antennaModelNumber"},
      {device({{"subunits", {{{"alarms", {300}}}}}}), "alarms"},
      {device({{"subunits", {{{"tilt", 2.5}}}}}), "tilt"},
      {device({{"downloadFail", "block:x"}}), "downloadFail"},
      {device({{"address", 255}}), "address"},
      {{{"bus", {{"collisions", "sometimes"}}}}, "collisions"},
      {{{"devices", 3}}, "devices"},
  };
  for (const auto& c : cases) {
    Loaded loaded = LoadJson(c.Site);
    EXPECT_FALSE(loaded.Ok) << c.Site.dump();
    EXPECT_NE(loaded.Error.find(c.Reason), std::string::npos) << loaded.Error;
    EXPECT_EQ(loaded.Devices, 0u);
  }
}

TEST(SimSiteFiles, PresetAddressStartsAddressedButNotConnected) {
  SimHarness sim;
  nlohmann::json device = SimHarness::SingleRet("KA0001");
  device["address"] = 12;
  sim.Add(device);
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kTimeout);
  EXPECT_EQ(sim.Poll(12).Content, std::vector<uint8_t>({12, 0x1F}));
}

}  // namespace
