#include <string>
#include <vector>

#include "Layer7Fixture.h"
#include "ald/DeviceData.h"
#include "layer7/DataFieldId.h"
#include "layer7/DeviceDataCodec.h"

namespace {

class DeviceDataTest : public Layer7Test {
 protected:
  void SetUp() override {
    Layer7Test::SetUp();
    table.Record(kAld).DeviceType = kAldTma;
    table.SelectAld(kAld);
  }
  DeviceData& Selected() { return *table.CurrentDeviceData(); }
  static std::string Zeros(int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += " 00";
    return out;
  }
};

TEST_F(DeviceDataTest, SetSendsTextRightAlignedBehindNuls) {
  Selected().AntennaModelNumber = "ABC";
  AnswerI("0E 01 00 00");
  EXPECT_EQ(l7.RetSetDeviceData(kAld, kFieldAntennaModelNumber), kSuccess);
  EXPECT_EQ(SentMessage(0), "0E 10 00 01" + Zeros(12) + " 41 42 43");

  Selected().SectorId = std::string(32, 'S');
  AnswerI("83 02 00 02 00");
  EXPECT_EQ(l7.MultiRetSetDeviceData(kAld, 2, kFieldOperatorSectorId), kSuccess);
  EXPECT_EQ(SentMessage(1).substr(0, 15), "83 22 00 02 24 ");
  EXPECT_EQ(link.SentContent(1).size(), 2u + 3 + 2 + 32);
  EXPECT_EQ(link.SentContent(1).back(), 'S');

  std::string trace = Trace();
  EXPECT_TRUE(Has(trace, "INF"));
  EXPECT_TRUE(Has(trace, "Handling Command: 'Single Ret Set Device Data', Field: 'Antenna Model Number'"));
  EXPECT_TRUE(Has(trace, "Handling Command: 'Multi Ret Set Device Data', Field: 'Operator Sector Id'"));
  EXPECT_TRUE(Has(trace, "Response: 'Multi Ret Set Device Data', Result: 'Success'"));
  // The field line replaces the engine's own.
  EXPECT_EQ(Count(trace, "Handling Command:"), 2u);
}

TEST_F(DeviceDataTest, SetSendsNumbersLowOctetFirst) {
  DeviceData& d = Selected();
  d.BeamwidthForBands[0] = 65;
  d.BeamwidthForBands[1] = 60;
  d.BeamwidthForBands[2] = 0x1234;
  d.MaxSupportedTilt = -25;
  d.GainForBands[0] = 0x11;
  d.GainForBands[3] = 0xF4;
  d.TmaRxBandMin = 1736;
  d.TmaRxBandMax = 1880;
  d.TmaMaxGain = 0x30;
  d.TmaMinGain = 0x10;
  d.TmaGainResolution = 0x02;
  d.AntennaBearing = 0x0167;
  AnswerI("83 02 00 03 00");
  AnswerI("0E 01 00 00");
  for (int i = 0; i < 6; ++i) AnswerI("74 02 00 01 00");

  EXPECT_EQ(l7.MultiRetSetDeviceData(kAld, 3, kFieldAntennaBeamwidth), kSuccess);
  EXPECT_EQ(l7.RetSetDeviceData(kAld, kFieldAntennaMaxTilt), kSuccess);
  EXPECT_EQ(l7.TmaSetDeviceData(kAld, 1, kFieldAntennaGain), kSuccess);
  EXPECT_EQ(l7.TmaSetDeviceData(kAld, 1, kFieldTmaRxFrequencyBand), kSuccess);
  EXPECT_EQ(l7.TmaSetDeviceData(kAld, 1, kFieldTmaMaxSupportGain), kSuccess);
  EXPECT_EQ(l7.TmaSetDeviceData(kAld, 1, kFieldTmaMinSupportGain), kSuccess);
  EXPECT_EQ(l7.TmaSetDeviceData(kAld, 1, kFieldTmaGainResolution), kSuccess);
  EXPECT_EQ(l7.TmaSetDeviceData(kAld, 2, kFieldOperatorAntennaBearing), kSuccess);

  EXPECT_EQ(SentMessage(0), "83 0A 00 03 04 41 00 3C 00 34 12 00 00");
  EXPECT_EQ(SentMessage(1), "0E 03 00 06 E7 FF");
  EXPECT_EQ(SentMessage(2), "74 06 00 01 05 11 00 00 F4");
  EXPECT_EQ(SentMessage(3), "74 06 00 01 14 C8 06 58 07");
  EXPECT_EQ(SentMessage(4), "74 03 00 01 16 30");
  EXPECT_EQ(SentMessage(5), "74 03 00 01 17 10");
  EXPECT_EQ(SentMessage(6), "74 03 00 01 18 02");
  EXPECT_EQ(SentMessage(7), "74 04 00 02 25 67 01");
}

TEST_F(DeviceDataTest, SetThatCannotCarryTheValueSendsNothing) {
  struct Case {
    const char* name;
    ResultCode (*run)(AisgLayer7&, uint8_t);
    ResultCode expected;
  };
  const Case cases[] = {
      {"TMA field to a single RET", [](AisgLayer7& l, uint8_t a) { return l.RetSetDeviceData(a, kFieldTmaType); },
       kUnsupportedOperation},
      {"TMA field to a multi RET",
       [](AisgLayer7& l, uint8_t a) { return l.MultiRetSetDeviceData(a, 1, kFieldTmaModelNumber); },
       kUnsupportedOperation},
      {"gap between groups", [](AisgLayer7& l, uint8_t a) { return l.TmaSetDeviceData(a, 1, 0x0A); },
       kUnsupportedOperation},
      {"the Unknown row", [](AisgLayer7& l, uint8_t a) { return l.TmaSetDeviceData(a, 1, kFieldUnknown); },
       kUnsupportedOperation},
      {"text over its width", [](AisgLayer7& l, uint8_t a) { return l.RetSetDeviceData(a, kFieldOperatorInstallId); },
       kSoftwareError},
  };
  Selected().InstallerId = "ABCDEF";
  for (const Case& c : cases) {
    AnswerI("74 02 00 01 00");
    EXPECT_EQ(int{c.run(l7, kAld)}, int{c.expected}) << c.name;
    link.answers.clear();
  }
  EXPECT_TRUE(link.written.empty());
  std::string trace = Trace();
  EXPECT_EQ(Count(trace, "WRN"), 4u);
  EXPECT_EQ(Count(trace, "Unknown Addition Data Field"), 4u);
  EXPECT_TRUE(Has(trace, "Operator Install Id does not fit in 5 octets"));
  EXPECT_FALSE(Has(trace, "Handling Command"));

  table.SelectAld(AldTable::kNoSelection);
  EXPECT_EQ(l7.RetSetDeviceData(kAld, kFieldAntennaModelNumber), kSoftwareError);
  EXPECT_TRUE(link.written.empty());
}

TEST_F(DeviceDataTest, GetStoresTheValueAfterTheReturnCode) {
  DeviceData d;
  AnswerI("0F 06 00 00 00 00 41 42 43");
  EXPECT_EQ(l7.RetGetDeviceData(kAld, kFieldOperatorInstallId, d), kSuccess);
  EXPECT_EQ(SentMessage(0), "0F 01 00 22");
  EXPECT_EQ(d.InstallerId, "  ABC");

  AnswerI("84 0A 00 03 00 41 00 3C 00 00 00 00 00");
  EXPECT_EQ(l7.MultiRetGetDeviceData(kAld, 3, kFieldAntennaBeamwidth, d), kSuccess);
  EXPECT_EQ(SentMessage(1), "84 02 00 03 04");
  EXPECT_EQ(d.BeamwidthForBands[0], 65);
  EXPECT_EQ(d.BeamwidthForBands[1], 60);
  EXPECT_EQ(d.BeamwidthForBands[2], 0);

  AnswerI("75 06 00 01 00 C8 06 58 07");
  EXPECT_EQ(l7.TmaGetDeviceData(kAld, 1, kFieldTmaRxFrequencyBand, d), kSuccess);
  EXPECT_EQ(SentMessage(2), "75 02 00 01 14");
  EXPECT_EQ(d.TmaRxBandMin, 1736);
  EXPECT_EQ(d.TmaRxBandMax, 1880);
  EXPECT_EQ(d.TmaTxBandMin, 0);

  AnswerI("0F 03 00 00 38 FF");
  EXPECT_EQ(l7.RetGetDeviceData(kAld, kFieldAntennaMinTilt, d), kSuccess);
  EXPECT_EQ(d.MinSupportedTilt, -200);

  AnswerI("75 03 00 02 00 07");
  EXPECT_EQ(l7.TmaGetDeviceData(kAld, 2, kFieldTmaType, d), kSuccess);
  EXPECT_EQ(d.TmaSubunitType, 7);

  std::string trace = Trace();
  EXPECT_TRUE(Has(trace, "Handling Command: 'Single Ret Get Device Data', Field: 'Operator Install Id'"));
  EXPECT_TRUE(Has(trace, "Handling Command: 'TMA Get Device Data', Field: 'Tma Rx Frequency Band'"));
  EXPECT_EQ(Count(trace, "Handling Command:"), 5u);
  EXPECT_EQ(Count(trace, "Result: 'Success'"), 5u);
}

TEST_F(DeviceDataTest, GetThatStoresNothing) {
  DeviceData d;
  d.TmaSubunitType = 9;
  d.AntennaSerialNumber = "kept";

  // A field outside the device kind is asked, its answer dropped.
  AnswerI("0F 02 00 00 05");
  EXPECT_EQ(l7.RetGetDeviceData(kAld, kFieldTmaType, d), kSuccess);
  EXPECT_EQ(link.written.size(), 1u);
  EXPECT_EQ(d.TmaSubunitType, 9);
  std::string trace = Trace();
  EXPECT_TRUE(Has(trace, "WRN"));
  EXPECT_LT(trace.find("Unknown Addition Data Field"), trace.find("Result: 'Success'"));

  AnswerI("0F 03 00 0B 13");
  EXPECT_EQ(l7.RetGetDeviceData(kAld, kFieldAntennaSerialNumber, d), kOutOfRange);

  // A value cut short by the response's own length.
  AnswerI("84 05 00 01 00 41 42 43");
  EXPECT_EQ(l7.MultiRetGetDeviceData(kAld, 1, kFieldAntennaSerialNumber, d), kProtocolError);
  AnswerI("75 02 00 01 00 FF");  // the octet past the declared length is no part of the value
  EXPECT_EQ(l7.TmaGetDeviceData(kAld, 1, kFieldTmaType, d), kProtocolError);
  EXPECT_EQ(d.AntennaSerialNumber, "kept");
  EXPECT_EQ(d.TmaSubunitType, 9);
  trace = Trace();
  EXPECT_TRUE(Has(trace, "Antenna Serial Number needs 17 octets, the response holds 3"));
  EXPECT_TRUE(Has(trace, "Response: 'Multi Ret Get Device Data', Result: 'Protocol Error'"));

  // No answer at all: the engine's time-out, not a decoded empty buffer.
  EXPECT_EQ(l7.TmaGetDeviceData(kAld, 1, kFieldTmaType, d), kTimeout);
  EXPECT_EQ(d.TmaSubunitType, 9);
}

TEST(DataFieldTable, NamesAndWidths) {
  EXPECT_EQ(DataFieldName(0x01), "Antenna Model Number");
  EXPECT_EQ(DataFieldName(0x09), "Antenna Frequency Band 09");
  EXPECT_EQ(DataFieldName(0x18), "Tma Gain Resolution");
  EXPECT_EQ(DataFieldName(0x26), "Operator Mechanical Tilt");
  for (uint8_t id : {0x00, 0x0A, 0x10, 0x19, 0x20, 0x27, 0xFE, 0xFF}) {
    EXPECT_EQ(DataFieldName(id), "Unknown") << int{id};
    EXPECT_EQ(DataFieldInfoOf(id).Group, FieldGroup::kNone) << int{id};
  }
  EXPECT_EQ(DataFieldInfoOf(kFieldOperatorBaseStationId).Width, 32);
  EXPECT_EQ(DataFieldInfoOf(kFieldAntennaSerialNumber).Width, 17);
  EXPECT_EQ(DataFieldInfoOf(kFieldOperatorInstallDate).Width, 6);
}

// Every field travels in exactly its width and comes back into its own
// storage only: a decode that wrote a neighbour's member, or an encode that
// read one, breaks the round trip or leaves a trace in another field.
TEST(DeviceDataCodecTest, EveryFieldRoundTripsIntoItsOwnStorage) {
  std::vector<uint8_t> ids;
  for (int id = 0; id < 0xFF; ++id) {
    if (DataFieldInfoOf(static_cast<uint8_t>(id)).Group != FieldGroup::kNone) ids.push_back(static_cast<uint8_t>(id));
  }
  ASSERT_EQ(ids.size(), 23u);
  for (uint8_t id : ids) {
    size_t width = DataFieldInfoOf(id).Width;
    std::vector<uint8_t> wire(width);
    for (size_t i = 0; i < width; ++i) wire[i] = static_cast<uint8_t>(0x41 + i);
    DeviceData blank;
    ASSERT_EQ(DeviceDataCodec::Decode(id, wire.data(), width, blank), DeviceDataCodec::Status::kOk);
    std::vector<uint8_t> back;
    ASSERT_EQ(DeviceDataCodec::Encode(id, blank, back), DeviceDataCodec::Status::kOk);
    EXPECT_EQ(back, wire) << DataFieldName(id);
    for (uint8_t other : ids) {
      if (other == id) continue;
      DeviceDataCodec::Encode(other, blank, back);
      EXPECT_EQ(back, std::vector<uint8_t>(DataFieldInfoOf(other).Width, 0))
          << DataFieldName(id) << " reached " << DataFieldName(other);
    }
  }
}

TEST(DeviceDataCodecTest, TextOnTheWire) {
  EXPECT_EQ(ToHex(DeviceDataCodec::EncodeText("AB", 5)), "00 00 00 41 42");
  EXPECT_EQ(ToHex(DeviceDataCodec::EncodeText("", 3)), "00 00 00");
  EXPECT_EQ(ToHex(DeviceDataCodec::EncodeText("ABCDEF", 5)), "41 42 43 44 45");
  const uint8_t octets[] = {0x00, 0x41, 0x00, 0x42};
  EXPECT_EQ(DeviceDataCodec::DecodeText(octets, 4), " A B");

  DeviceData d;
  d.InstallationDate = "2024011";
  std::vector<uint8_t> out;
  EXPECT_EQ(DeviceDataCodec::Encode(kFieldOperatorInstallDate, d, out), DeviceDataCodec::Status::kTooLong);
  EXPECT_EQ(DeviceDataCodec::Encode(0x0A, d, out), DeviceDataCodec::Status::kNoField);
  EXPECT_EQ(DeviceDataCodec::Decode(kFieldOperatorInstallDate, octets, 4, d), DeviceDataCodec::Status::kTooShort);
  EXPECT_EQ(d.InstallationDate, "2024011");
}

}  // namespace
