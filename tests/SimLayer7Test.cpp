#include <gtest/gtest.h>

#include "Hex.h"
#include "SimHarness.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One connected device at address 1.
class SimLayer7 : public ::testing::Test {
 protected:
  void Attach(const nlohmann::json& device) {
    sim.Add(device);
    sim.Attach(device["uniqueId"], 1);
  }
  // The response message to a request, polling once if it was acknowledged.
  Bytes Run(uint8_t code, const Bytes& data) {
    SimHarness::Reply r = sim.Send(1, code, data);
    if (r.Content.size() == 2) r = sim.Poll(1);
    return SimHarness::Message(r);
  }
  SimHarness sim;
};

TEST_F(SimLayer7, UnknownProceduresAreAnsweredFailUnknownCommand) {
  Attach(SimHarness::SingleRet("KA0001"));
  EXPECT_EQ(Run(0x13, {}), Hex("13 02 00 0B 19"));
  EXPECT_EQ(Run(0x71, {0x01}), Hex("71 02 00 0B 19"));  // a TMA procedure
  EXPECT_EQ(Run(0x82, {0x01}), Hex("82 02 00 0B 19"));  // a multi RET procedure
}

TEST_F(SimLayer7, MalformedRequestsAreFormatErrors) {
  Attach(SimHarness::SingleRet("KA0001"));
  EXPECT_EQ(Run(0x33, {0x10}), Hex("33 02 00 0B 24"));
  EXPECT_EQ(Run(0x05, {0x00}), Hex("05 02 00 0B 24"));
  // The length field disagrees with the data (third I-frame: N(R) 2, N(S) 2).
  EXPECT_EQ(SimHarness::Message(sim.Exchange(Hex("01 54 34 05 00"))), Hex("34 02 00 0B 24"));
}

TEST_F(SimLayer7, TiltOutsideTheAntennaLimitsIsOutOfRange) {
  Attach({{"type", "singleRet"},
          {"uniqueId", "KA0001"},
          {"subunits", {{{"calibrated", true}, {"fields", {{"maxTilt", 100}, {"minTilt", -20}}}}}}});
  EXPECT_EQ(sim.Send(1, 0x33, {101, 0}).Content, Hex("01 30 33 02 00 0B 13"));
  EXPECT_EQ(Run(0x33, {0xEB, 0xFF}), Hex("33 02 00 0B 13"));      // -2.1 degrees
  EXPECT_EQ(sim.Send(1, 0x33, {0xEC, 0xFF}).Content.size(), 2u);  // -2.0 degrees: moving
  sim.Time().Advance(60000);
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("33 01 00 00"));
  EXPECT_EQ(Run(0x34, {}), Hex("34 03 00 00 EC FF"));
}

TEST_F(SimLayer7, UncalibratedRetRefusesToMoveUntilCalibrated) {
  Attach(SimHarness::SingleRet("KA0001", false));
  EXPECT_EQ(Run(0x04, {}), Hex("04 02 00 00 0E"));
  EXPECT_EQ(Run(0x33, {50, 0}), Hex("33 02 00 0B 0E"));
  EXPECT_EQ(Run(0x34, {}), Hex("34 02 00 0B 0E"));
  // Clearing alarms does not clear a condition that still holds.
  EXPECT_EQ(Run(0x06, {}), Hex("06 01 00 00"));
  EXPECT_EQ(Run(0x04, {}), Hex("04 02 00 00 0E"));

  EXPECT_EQ(sim.Send(1, 0x31, {}).Content.size(), 2u);
  sim.Time().Advance(6000);
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("31 01 00 00"));
  EXPECT_EQ(Run(0x04, {}), Hex("04 01 00 00"));
  EXPECT_EQ(Run(0x33, {50, 0}).size(), 0u);  // accepted: RR, still moving
}

TEST_F(SimLayer7, SetTiltAnswersRrUntilTheMoveIsDone) {
  Attach(SimHarness::SingleRet("KA0001"));  // at 3.0 degrees, 1 degree/s, 500 ms settle
  EXPECT_EQ(sim.Send(1, 0x33, {80, 0}).Content, Hex("01 31"));
  sim.Time().Advance(5499);  // 5.0 degrees of travel + settle = 5500 ms
  EXPECT_EQ(sim.Poll(1).Content, Hex("01 31"));
  EXPECT_EQ(SimHarness::Message(sim.Send(1, 0x34, {})), Hex("34 02 00 0B 05"));  // busy meanwhile
  sim.Time().Advance(1);
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("33 01 00 00"));
  EXPECT_EQ(sim.Poll(1).Content.size(), 2u);  // delivered once
  EXPECT_EQ(Run(0x34, {}), Hex("34 03 00 00 50 00"));
}

TEST_F(SimLayer7, CalibrationAndSelfTestTakeTheirConfiguredTime) {
  Attach({{"type", "singleRet"}, {"uniqueId", "KA0001"}, {"timing", {{"calibrationMs", 20000}, {"selfTestMs", 1500}}}});
  sim.Send(1, 0x31, {});
  sim.Time().Advance(19999);
  EXPECT_EQ(sim.Poll(1).Content.size(), 2u);
  sim.Time().Advance(1);
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("31 01 00 00"));
  sim.Send(1, 0x0A, {});
  sim.Time().Advance(1499);
  EXPECT_EQ(sim.Poll(1).Content.size(), 2u);
  sim.Time().Advance(1);
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("0A 01 00 00"));
}

TEST_F(SimLayer7, SelfTestReportsARaisedHardwareAlarm) {
  Attach(SimHarness::SingleRet("KA0001"));
  sim.Bus().RaiseAlarm(0, 1, 0x02);
  sim.Send(1, 0x0A, {});
  sim.Time().Advance(3000);
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("0A 02 00 0B 02"));
}

TEST_F(SimLayer7, MultiRetNamesTheAntennaInEveryResponse) {
  Attach({{"type", "multiRet"},
          {"uniqueId", "CS0042"},
          {"subunits", {{{"calibrated", true}}, {{"calibrated", true}, {"tilt", 100}}, {}}}});
  EXPECT_EQ(Run(0x88, {0x00}), Hex("88 02 00 00 03"));
  EXPECT_EQ(Run(0x82, {0x02}), Hex("82 04 00 02 00 64 00"));
  EXPECT_EQ(Run(0x82, {0x03}), Hex("82 03 00 03 0B 0E"));
  EXPECT_EQ(Run(0x82, {0x04}), Hex("82 03 00 04 0B 13"));
  EXPECT_EQ(Run(0x87, {0x03}), Hex("87 03 00 03 00 0E"));
  EXPECT_EQ(Run(0x87, {0x01}), Hex("87 02 00 01 00"));
  EXPECT_EQ(Run(0x81, {0x01, 0x65, 0x00}), Hex("81 03 00 01 0B 13"));
  // The common alarm status covers every antenna.
  EXPECT_EQ(Run(0x04, {}), Hex("04 02 00 00 0E"));
}

TEST_F(SimLayer7, DeviceDataFieldsKeepTheirWidths) {
  Attach(SimHarness::SingleRet("KA0001"));
  Bytes model = {0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'A', 'B', 'C'};
  EXPECT_EQ(Run(0x0E, model), Hex("0E 01 00 00"));
  Bytes expected = Hex("0F 10 00 00");
  expected.insert(expected.end(), model.begin() + 1, model.end());
  EXPECT_EQ(Run(0x0F, {0x01}), expected);
  EXPECT_EQ(Run(0x0E, {0x01, 'A', 'B', 'C'}), Hex("0E 02 00 0B 24"));
  EXPECT_EQ(Run(0x0F, {0x16}), Hex("0F 02 00 0B 1E"));  // a TMA field
  EXPECT_EQ(Run(0x0F, {0x0A}), Hex("0F 02 00 0B 1E"));  // no field
  EXPECT_EQ(Run(0x0F, {0x25}), Hex("0F 03 00 00 00 00"));
}

TEST_F(SimLayer7, TmaGainAndModeFollowTheSubunitsLimits) {
  Attach({{"type", "tma"},
          {"uniqueId", "TW0045"},
          {"subunits", {{{"gain", 40}, {"fields", {{"tmaMaxGain", 48}, {"tmaMinGain", 16}}}}, {{"functions", 0x02}}}}});
  EXPECT_EQ(Run(0x79, {}), Hex("79 02 00 00 02"));
  EXPECT_EQ(Run(0x7A, {0x01}), Hex("7A 06 00 01 00 03 10 30 04"));
  EXPECT_EQ(Run(0x72, {0x01, 0x31}), Hex("72 03 00 01 0B 1C"));
  EXPECT_EQ(Run(0x72, {0x01, 0x0F}), Hex("72 03 00 01 0B 1C"));
  EXPECT_EQ(Run(0x72, {0x01, 0x30}), Hex("72 02 00 01 00"));
  EXPECT_EQ(Run(0x73, {0x01}), Hex("73 03 00 01 00 30"));
  EXPECT_EQ(Run(0x70, {0x01, 0x01}), Hex("70 02 00 01 00"));
  EXPECT_EQ(Run(0x72, {0x01, 0x20}), Hex("72 03 00 01 0B 1F"));
  EXPECT_EQ(Run(0x71, {0x01}), Hex("71 03 00 01 00 01"));
  EXPECT_EQ(Run(0x70, {0x02, 0x01}), Hex("70 03 00 02 0B 25"));  // no bypass there
  EXPECT_EQ(Run(0x75, {0x01, 0x16}), Hex("75 03 00 01 00 30"));
}

TEST_F(SimLayer7, SubscribedAlarmsArriveOnTheNextPoll) {
  Attach(SimHarness::SingleRet("KA0001"));
  sim.Bus().RaiseAlarm(0, 1, 0x03);
  EXPECT_EQ(sim.Poll(1).Content.size(), 2u);  // not subscribed
  EXPECT_EQ(Run(0x12, {}), Hex("12 01 00 00"));
  sim.Bus().RaiseAlarm(0, 1, 0x02);
  sim.Bus().ClearAlarm(0, 1, 0x03);
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("07 02 00 02 01"));
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("07 02 00 03 00"));
  EXPECT_EQ(sim.Poll(1).Content.size(), 2u);
  // A disconnect ends the subscription.
  sim.Exchange(Hex("01 53"));
  sim.Connect(1);
  sim.Bus().RaiseAlarm(0, 1, 0x11);
  EXPECT_EQ(sim.Poll(1).Content.size(), 2u);
}

TEST_F(SimLayer7, IndicationsOfMultiRetAndTmaNameTheSubunit) {
  Attach({{"type", "multiRet"}, {"uniqueId", "CS0042"}, {"subunits", {{{"calibrated", true}}, {}}}});
  Run(0x12, {});
  sim.Send(1, 0x80, {0x02});
  sim.Time().Advance(6000);
  // The calibration's response first, then the cleared Not Calibrated.
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("80 02 00 02 00"));
  EXPECT_EQ(SimHarness::Message(sim.Poll(1)), Hex("85 03 00 02 0E 00"));

  SimHarness tmaSim;
  tmaSim.Add({{"type", "tma"}, {"uniqueId", "TW0045"}, {"subunits", {{}, {}}}});
  tmaSim.Attach("TW0045", 1);
  tmaSim.Send(1, 0x12, {});
  tmaSim.Bus().RaiseAlarm(0, 2, 0x1A);
  EXPECT_EQ(SimHarness::Message(tmaSim.Poll(1)), Hex("76 03 00 02 1A 01"));
}

TEST_F(SimLayer7, GetInfoAndIdentityWrite) {
  Attach({{"type", "singleRet"},
          {"uniqueId", "KA0001"},
          {"productNumber", "P1"},
          {"serialNumber", "S22"},
          {"hardwareVersion", ""},
          {"softwareVersion", "V3"}});
  EXPECT_EQ(Run(0x05, {}), Hex("05 0C 00 00 02 50 31 03 53 32 32 00 02 56 33"));
  EXPECT_EQ(Run(0x90, {1, 2}), Hex("90 02 00 0B 24"));
  Bytes identity(47, 0);
  std::string serial = "SN000000000000042", product = "PN-ONE", hardware = "HW9";
  std::copy(serial.begin(), serial.end(), identity.begin());
  std::copy(product.begin(), product.end(), identity.begin() + 17);
  std::copy(hardware.begin(), hardware.end(), identity.begin() + 32);
  EXPECT_EQ(Run(0x90, identity), Hex("90 01 00 00"));
  Bytes info = Run(0x05, {});
  EXPECT_EQ(std::string(info.begin() + 5, info.begin() + 11), "PN-ONE");
  // The unique identifier is now the vendor code and the new serial number.
  sim.Exchange(Hex("FF BF 81 F0 02 07 00"));
  SimHarness::Reply scan = sim.Exchange(SimHarness::Scan({}, {}));
  EXPECT_EQ(std::string(scan.Content.begin() + 7, scan.Content.begin() + 26), "KA" + serial);
}

TEST_F(SimLayer7, DownloadRunsStartBlocksEndThenRestarts) {
  Attach(SimHarness::SingleRet("KA0001"));
  EXPECT_EQ(Run(0x41, {1, 2, 3}), Hex("41 02 00 0B 07"));  // no start yet
  EXPECT_EQ(Run(0x40, {}), Hex("40 01 00 00"));
  EXPECT_EQ(Run(0x41, Bytes(71, 0xAA)), Hex("41 01 00 00"));
  EXPECT_EQ(Run(0x41, Bytes(8, 0xAA)), Hex("41 01 00 00"));
  EXPECT_EQ(Run(0x42, {}), Hex("42 01 00 00"));
  // Restarting: deaf, then back without an address.
  EXPECT_EQ(sim.Poll(1).Result, kTimeout);
  sim.Time().Advance(3000);
  EXPECT_EQ(sim.Poll(1).Result, kTimeout);
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kSuccess);
  sim.Bus().WithDevice(0, [](SimAld& d) { EXPECT_EQ(d.LastDownloadOctets(), 79u); });
}

TEST_F(SimLayer7, DownloadFailsWhereConfigured) {
  Attach({{"type", "singleRet"}, {"uniqueId", "KA0001"}, {"downloadFail", "block:2"}});
  Run(0x40, {});
  EXPECT_EQ(Run(0x41, {1}), Hex("41 01 00 00"));
  EXPECT_EQ(Run(0x41, {2}), Hex("41 02 00 0B 0D"));
  EXPECT_EQ(Run(0x42, {}), Hex("42 02 00 0B 07"));
  sim.Bus().WithDevice(0, [](SimAld& d) { d.SetDownloadFailure({SimDeviceConfig::DownloadFailure::kEnd, 0}); });
  Run(0x40, {});
  EXPECT_EQ(Run(0x42, {}), Hex("42 02 00 0B 06"));
  sim.Bus().WithDevice(0, [](SimAld& d) { d.SetDownloadFailure({SimDeviceConfig::DownloadFailure::kStart, 0}); });
  EXPECT_EQ(Run(0x40, {}), Hex("40 02 00 0B 0C"));
}

TEST_F(SimLayer7, ResetAbandonsARunningProcedure) {
  Attach(SimHarness::SingleRet("KA0001"));
  sim.Bus().WithDevice(0, [](SimAld& d) {
    d.SetStuck(true);
    d.SetAddressTimeoutMs(0);
  });
  sim.Send(1, 0x31, {});
  sim.Time().Advance(3600 * 1000);
  EXPECT_EQ(sim.Poll(1).Content, Hex("01 31"));
  EXPECT_EQ(Run(0x03, {}), Hex("03 01 00 00"));
  EXPECT_EQ(Run(0x34, {}), Hex("34 03 00 00 1E 00"));
}

TEST_F(SimLayer7, ConfigurationDataMakesAnAntennaConfigured) {
  Attach({{"type", "singleRet"}, {"uniqueId", "KA0001"}, {"subunits", {{{"configured", false}}}}});
  EXPECT_EQ(Run(0x31, {}), Hex("31 02 00 0B 0F"));
  EXPECT_EQ(Run(0x32, Bytes(71, 1)), Hex("32 01 00 00"));
  EXPECT_EQ(sim.Send(1, 0x31, {}).Content.size(), 2u);
}

}  // namespace
