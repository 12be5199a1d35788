#include <gtest/gtest.h>

#include "Hex.h"
#include "SimHarness.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Wire(const Bytes& content) {
  Bytes wire(2 * content.size() + 6);
  wire.resize(HdlcCodec::Encode(content.data(), static_cast<uint16_t>(content.size()), wire.data()));
  return wire;
}

// The scan answer a lone device with this identifier sends.
Bytes ScanAnswerWire(const std::string& id) {
  Bytes content = SimHarness::Xid(
      0x00, {SimHarness::Parameter(1, SimHarness::Octets(id)), SimHarness::Parameter(4, {1}),
             SimHarness::Parameter(6, SimHarness::Octets(id.substr(0, 2))), SimHarness::Parameter(9, {2})});
  return Wire(content);
}

SimFaults Faults(const std::string& text) {
  std::string error;
  std::optional<SimFaults> faults = SimFaults::Parse(text, &error);
  if (!faults) throw std::runtime_error(error);
  return *faults;
}

class SimBus : public ::testing::Test {
 protected:
  void TwoDevices() {
    sim.Add(SimHarness::SingleRet("KA0001"));
    sim.Add(SimHarness::SingleRet("AN00000002"));
  }
  SimHarness sim;
};

TEST_F(SimBus, ConcatenatedAnswersFollowEachOtherAndDecodeAsCollision) {
  TwoDevices();
  SimHarness::Reply r = sim.Exchange(SimHarness::Scan({}, {}));
  Bytes both = ScanAnswerWire("KA0001");
  Bytes second = ScanAnswerWire("AN00000002");
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_EQ(ToHex(r.Raw), ToHex(both));
  EXPECT_EQ(r.Result, kCollision);
  EXPECT_EQ(r.Content, SimHarness::Decode(ScanAnswerWire("KA0001")).Content);
}

TEST_F(SimBus, GarbledAnswersOverlapAndDecodeAsProtocolError) {
  TwoDevices();
  sim.Bus().SetCollisions(VirtualBus::Collisions::kGarble);
  SimHarness::Reply r = sim.Exchange(SimHarness::Scan({}, {}));
  Bytes a = ScanAnswerWire("KA0001");
  Bytes b = ScanAnswerWire("AN00000002");
  ASSERT_EQ(r.Raw.size(), std::max(a.size(), b.size()));
  EXPECT_EQ(r.Raw[5], a[5] & b[5]);
  EXPECT_EQ(r.Result, kProtocolError);
  // A lone answer is not touched.
  SimHarness::Reply alone = sim.Exchange(SimHarness::Scan(SimHarness::Octets("KA"), {0xFF, 0xFF}));
  EXPECT_EQ(alone.Result, kSuccess);
}

TEST_F(SimBus, DropShareLosesThatShareOfAnswers) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Bus().SetFaults(Faults("drop=25%,seed=7"));
  int answered = 0;
  for (int i = 0; i < 400; ++i) answered += sim.Exchange(SimHarness::Scan({}, {})).Result == kSuccess;
  EXPECT_GT(answered, 260);
  EXPECT_LT(answered, 340);
  sim.Bus().SetFaults(Faults("drop=1"));
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kTimeout);
  sim.Bus().SetFaults(SimFaults());
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kSuccess);
}

TEST_F(SimBus, CorruptedFcsSpoilsOnlyTheCheckOctets) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Bus().SetFaults(Faults("fcs=100%"));
  SimHarness::Reply r = sim.Exchange(SimHarness::Scan({}, {}));
  Bytes good = ScanAnswerWire("KA0001");
  EXPECT_EQ(r.Result, kProtocolError);
  ASSERT_GE(r.Raw.size(), good.size() - 2);
  size_t body = good.size() - 3;  // flag, content, then the two FCS octets and the flag
  EXPECT_EQ(Bytes(r.Raw.begin(), r.Raw.begin() + static_cast<long>(body)),
            Bytes(good.begin(), good.begin() + static_cast<long>(body)));
}

TEST_F(SimBus, LateAnswerMissesItsReadAndLeadsTheNext) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Attach("KA0001", 1);
  sim.Bus().SetFaults(Faults("late=1,late-ms=700"));
  EXPECT_EQ(sim.Bus().LateMs(), 700u);
  EXPECT_EQ(sim.Exchange(Hex("01 11")).Result, kTimeout);
  sim.Bus().SetFaults(SimFaults());
  SimHarness::Reply next = sim.Exchange(Hex("01 53"));
  EXPECT_EQ(next.Result, kCollision);
  EXPECT_EQ(next.Content, Hex("01 11"));  // the late RR, then the UA
  EXPECT_EQ(ToHex(next.Raw), ToHex(Wire(Hex("01 11"))) + " " + ToHex(Wire(Hex("01 73"))));
}

TEST_F(SimBus, LinkReadsKeepWhatExceedsTheirCapacity) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  Bytes scan = Wire(SimHarness::Scan({}, {}));
  sim.Link().Transmit(scan.data(), static_cast<uint32_t>(scan.size()));
  uint8_t buffer[64];
  uint32_t first = sim.Link().Receive(buffer, 10);
  uint32_t rest = sim.Link().Receive(buffer + 10, 54);
  EXPECT_EQ(first, 10u);
  EXPECT_EQ(Bytes(buffer, buffer + first + rest), ScanAnswerWire("KA0001"));
}

TEST_F(SimBus, PowerWindowSilencesAndRestartsTheDevice) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Add(SimHarness::SingleRet("AN0002"));
  EXPECT_TRUE(sim.Bus().SetFaults(Faults("off=KA0001@10-20.5")).empty());
  sim.Attach("KA0001", 1);
  sim.Time().Advance(9999);
  EXPECT_EQ(sim.Poll(1).Content, Hex("01 11"));
  sim.Time().Advance(1);
  EXPECT_EQ(sim.Poll(1).Result, kTimeout);
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kSuccess);  // AN0002 alone
  sim.Time().Advance(10500);
  EXPECT_EQ(sim.Poll(1).Result, kTimeout);  // back, but without its address
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kCollision);
}

TEST_F(SimBus, PowerApiTurnsADeviceOffAndOn) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Attach("KA0001", 1);
  EXPECT_TRUE(sim.Bus().PowerOff(0));
  EXPECT_EQ(sim.Poll(1).Result, kTimeout);
  EXPECT_TRUE(sim.Bus().PowerOn(0));
  EXPECT_EQ(sim.Poll(1).Result, kTimeout);
  sim.Attach("KA0001", 1);
  EXPECT_EQ(sim.Poll(1).Content, Hex("01 11"));
  EXPECT_FALSE(sim.Bus().PowerOff(5));
}

TEST_F(SimBus, StuckDeviceAnswersRrForever) {
  sim.SetAddressTimeoutMs(0);
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Add(SimHarness::SingleRet("AN0002"));
  EXPECT_EQ(sim.Bus().SetFaults(Faults("stuck=KA0001,stuck=XX9")), std::vector<std::string>{"XX9"});
  sim.Attach("KA0001", 1);
  EXPECT_EQ(sim.Send(1, 0x31, {}).Content, Hex("01 31"));
  for (int i = 0; i < 200; ++i) {
    sim.Time().Advance(1000);
    ASSERT_EQ(sim.Poll(1).Content, Hex("01 31"));
  }
}

TEST_F(SimBus, ScheduledAlarmIsIndicatedToASubscriber) {
  sim.Add(
      {{"type", "multiRet"}, {"uniqueId", "CS0042"}, {"subunits", {{{"calibrated", true}}, {{"calibrated", true}}}}});
  sim.Bus().SetFaults(Faults("alarm=CS0042/2:0x14@5"));
  sim.Attach("CS0042", 1);
  sim.Send(1, 0x12, {});
  EXPECT_EQ(sim.Poll(1).Content.size(), 2u);
  sim.Time().Advance(5000);
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("85 03 00 02 14 01"));
}

TEST_F(SimBus, StateJsonShowsTheLiveState) {
  sim.Add(SimHarness::SingleRet("KA0001", false));
  sim.Attach("KA0001", 9);
  nlohmann::ordered_json device = sim.Bus().StateJson()["devices"][0];
  EXPECT_EQ(device["uniqueId"], "KA0001");
  EXPECT_EQ(device["address"], 9);
  EXPECT_EQ(device["connected"], true);
  EXPECT_EQ(device["subunits"][0]["calibrated"], false);
  EXPECT_EQ(device["subunits"][0]["tilt"], 30);
  EXPECT_EQ(device["subunits"][0]["alarms"], nlohmann::json::array({14}));
  EXPECT_EQ(device["subunits"][0]["fields"]["maxTilt"], 100);
}

TEST(SimFaultsText, ParsesEveryItem) {
  SimFaults f = Faults(
      "drop=0.1,fcs=5%,late=0,late-ms=900,seed=3,off=KA1@1.5-4,off=AN2@7,stuck=*,"
      "dlfail=KA1:end,dlfail=AN2:3,alarm=CS3/2:0x14@2,alarm=KA1:20@0");
  EXPECT_DOUBLE_EQ(f.DropShare, 0.1);
  EXPECT_DOUBLE_EQ(f.FcsShare, 0.05);
  EXPECT_EQ(f.LateMs, 900u);
  EXPECT_EQ(f.Seed, 3u);
  ASSERT_EQ(f.Power.size(), 2u);
  EXPECT_EQ(f.Power[0].OffAtMs, 1500u);
  EXPECT_EQ(f.Power[0].OnAtMs, 4000u);
  EXPECT_FALSE(f.Power[1].OnAtMs.has_value());
  EXPECT_EQ(f.Stuck, std::vector<std::string>{"*"});
  ASSERT_EQ(f.Downloads.size(), 2u);
  EXPECT_EQ(f.Downloads[0].Failure.Where, SimDeviceConfig::DownloadFailure::kEnd);
  EXPECT_EQ(f.Downloads[1].Failure.Block, 3u);
  ASSERT_EQ(f.Alarms.size(), 2u);
  EXPECT_EQ(f.Alarms[0].Device, "CS3");
  EXPECT_EQ(f.Alarms[0].Subunit, 2);
  EXPECT_EQ(f.Alarms[0].Code, 0x14);
  EXPECT_EQ(f.Alarms[1].Subunit, 1);
  EXPECT_EQ(f.Alarms[1].Code, 20);
}

TEST(SimFaultsText, RejectsBadItems) {
  for (const char* bad : {"drop=2", "drop=x", "fcs=-1%", "off=KA1", "off=KA1@5-2", "alarm=KA1:0@1", "alarm=KA1:300@1",
                          "alarm=KA1/7:3@1", "dlfail=KA1:middle", "dlfail=KA1:0", "late-ms=-5", "noise=1", "drop"}) {
    std::string error;
    EXPECT_FALSE(SimFaults::Parse(bad, &error).has_value()) << bad;
    EXPECT_NE(error.find(bad), std::string::npos) << error;
  }
  EXPECT_TRUE(SimFaults::Parse("", nullptr).has_value());
}

}  // namespace
