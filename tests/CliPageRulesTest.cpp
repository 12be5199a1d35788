// The page rules that the command-line tool and the windows share: tilt
// entry and limits, TMA conversions, field conversions and checks.

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "ald/AlarmList.h"
#include "ald/AldType.h"
#include "ald/DeviceData.h"
#include "bus/EntryText.h"
#include "bus/FieldPages.h"
#include "bus/RetPage.h"
#include "bus/TmaPage.h"
#include "layer7/DataFieldId.h"
#include "layer7/ResultCode.h"

namespace {

using Status = FieldPages::Entry::Status;

TEST(CliPageRules, EntryTextTakesWholeNumbersAndLeadingIntegers) {
  EXPECT_EQ(EntryText::Number(""), 0.0);
  EXPECT_EQ(EntryText::Number("2.5"), 2.5);
  EXPECT_EQ(EntryText::Number("+2.5"), 2.5);
  EXPECT_EQ(EntryText::Number("-0.1"), -0.1);
  for (const char* bad : {"2,5", "2.5x", " 2.5", "abc", "nan", "inf", "+", "+-1"}) {
    EXPECT_FALSE(EntryText::Number(bad).has_value()) << bad;
  }
  EXPECT_EQ(EntryText::WholeInteger("-7"), -7);
  EXPECT_EQ(EntryText::WholeInteger("+7"), 7);
  EXPECT_EQ(EntryText::WholeInteger(""), 0);
  for (const char* bad : {"12abc", "abc", "6o", "1.0", " 1", "+", "-", "99999999999999999999"}) {
    EXPECT_FALSE(EntryText::WholeInteger(bad).has_value()) << bad;
  }
  // Within the field's octets after scaling, and no value lost to a step.
  EXPECT_EQ(EntryText::Scaled(25.5, 10.0, 0, 255), 255);
  EXPECT_EQ(EntryText::Scaled(2.59, 10.0, 0, 255), 25);
  EXPECT_FALSE(EntryText::Scaled(25.6, 10.0, 0, 255).has_value());
  EXPECT_FALSE(EntryText::Scaled(-0.1, 10.0, 0, 255).has_value());
  EXPECT_EQ(EntryText::Scaled(-0.09, 10.0, 0, 255), std::nullopt) << "not 0: smaller than one step";
  EXPECT_EQ(EntryText::Scaled(0.0, 0.25, 0, 255), 0);
  EXPECT_FALSE(EntryText::Scaled(0.1, 0.25, 0, 255).has_value());
  EXPECT_EQ(EntryText::Scaled(-3276.8, 10.0, INT16_MIN, INT16_MAX), INT16_MIN);
  EXPECT_FALSE(EntryText::Scaled(1e300, 10.0, INT16_MIN, INT16_MAX).has_value());
  EXPECT_EQ(EntryText::Truncate8(10.3, 4.0), 41);          // 41.2 truncated
  EXPECT_EQ(EntryText::Truncate16(-2.59, 10.0), 0xFFE7);   // -25 in 16 bits
  EXPECT_EQ(EntryText::Truncate8(70.0, 4.0), 280 & 0xFF);  // cut to the width
  EXPECT_EQ(EntryText::Truncate16(1e300, 1.0), EntryText::Truncate16(1e15, 1.0));
}

TEST(CliPageRules, SetTiltChecksTheAntennaLimits) {
  RetPage::TiltEntry e = RetPage::CheckTilt("25.5", 0, 100);
  EXPECT_EQ(e.Verdict, RetPage::TiltEntry::Status::kOutOfRange);
  EXPECT_EQ(e.Message, "Tilt value is out of range. Please enter a value between 0.0 - 10.0");
  EXPECT_EQ(RetPage::CheckTilt("-0.1", 0, 100).Verdict, RetPage::TiltEntry::Status::kOutOfRange);
  e = RetPage::CheckTilt("2,5", 0, 100);
  EXPECT_EQ(e.Verdict, RetPage::TiltEntry::Status::kInvalid);
  EXPECT_EQ(e.Message, "Invalid Tilt value.");
  e = RetPage::CheckTilt("", -20, 100);
  EXPECT_EQ(e.Verdict, RetPage::TiltEntry::Status::kOk);
  EXPECT_EQ(e.Tenths, 0);
  EXPECT_EQ(RetPage::CheckTilt("-1.99", -20, 100).Tenths, -19);
  EXPECT_EQ(RetPage::CheckTilt("10.0", 0, 100).Tenths, 100);  // the limit itself is allowed
  EXPECT_EQ(RetPage::TiltText(-25), "-2.5");
  EXPECT_TRUE(RetPage::RefusesToMove(kNotCalibrated));
  EXPECT_FALSE(RetPage::RefusesToMove(kSuccess));
  // A multi RET's alarm read gives the last alarm's code: a raised "Not
  // Calibrated" before it still holds the antenna.
  AlarmList alarms;
  alarms.AlarmCount = 2;
  alarms.AlarmCodes[0] = kNotCalibrated;
  alarms.AlarmStates[0] = 1;
  alarms.AlarmCodes[1] = kOutOfRange;
  alarms.AlarmStates[1] = 1;
  EXPECT_TRUE(RetPage::RefusesToMove(kOutOfRange, alarms));
  alarms.AlarmStates[0] = 0;
  EXPECT_FALSE(RetPage::RefusesToMove(kOutOfRange, alarms));
  EXPECT_EQ(RetPage::NotCalibratedText(3), "ALD#3 is Not Calibrated. Please perform Calibration");
  EXPECT_EQ(RetPage::ConfigDownloadErrorText(kTimeout), "Error:  Timeout\nPlease check the file and download again");
}

TEST(CliPageRules, TmaPageConvertsQuartersOfDecibels) {
  EXPECT_EQ(TmaPage::GainEntry("10.3"), 41);
  EXPECT_EQ(TmaPage::GainEntry(""), 0);
  EXPECT_FALSE(TmaPage::GainEntry("10,3").has_value());
  EXPECT_EQ(TmaPage::GainText(48), "12.0");
  EXPECT_EQ(TmaPage::GainDb(41), 10.25);
  EXPECT_EQ(TmaPage::GainResolutionText(8), "0.5");
  EXPECT_EQ(TmaPage::ModeFromText("ByPass"), TmaPage::kModeBypass);
  EXPECT_EQ(TmaPage::ModeFromText("normal"), TmaPage::kModeNormal);
  EXPECT_FALSE(TmaPage::ModeFromText("off").has_value());
  EXPECT_EQ(TmaPage::ModeText(1), "Bypass");
  EXPECT_EQ(TmaPage::ModeText(7), "7");
}

// The subunit's limits and resolution decide which gains exist; a gain cut
// to an octet would reach the device as another.
TEST(CliPageRules, TmaGainWithinTheLimitsOnTheResolutionGrid) {
  const TmaPage::GainLimits limits{16, 48, 8};  // 4.0 to 12.0 dB in steps of 0.5 dB
  TmaPage::GainCheck g = TmaPage::CheckGain("10.5", limits);
  EXPECT_EQ(g.Verdict, TmaPage::GainCheck::Status::kOk);
  EXPECT_EQ(g.Quarters, 42);
  EXPECT_EQ(TmaPage::CheckGain("4", limits).Quarters, 16);
  EXPECT_EQ(TmaPage::CheckGain("12.0", limits).Quarters, 48);
  g = TmaPage::CheckGain("10.25", limits);
  EXPECT_EQ(g.Verdict, TmaPage::GainCheck::Status::kNotAllowed);
  EXPECT_EQ(g.Message,
            "Gain 10.25 dB is not allowed: the TMA allows 4.0 to 12.0 dB in steps of 0.5 dB; nearest allowed: 10.0 or "
            "10.5 dB");
  EXPECT_EQ(TmaPage::CheckGain("68", limits).Message,
            "Gain 68 dB is not allowed: the TMA allows 4.0 to 12.0 dB in steps of 0.5 dB; nearest allowed: 12.0 dB");
  EXPECT_EQ(TmaPage::CheckGain("-60", limits).Verdict, TmaPage::GainCheck::Status::kNotAllowed);
  EXPECT_EQ(TmaPage::CheckGain("10.7", limits).Quarters, 42) << "cut toward zero to the quarter dB, then allowed";
  EXPECT_EQ(TmaPage::CheckGain("10.3", {16, 48, 4}).Quarters, 41);
  EXPECT_EQ(TmaPage::CheckGain("-0.2", {0, 48, 4}).Quarters, 0) << "cut toward zero, not down";
  EXPECT_EQ(TmaPage::CheckGain("", limits).Verdict, TmaPage::GainCheck::Status::kNotAllowed);  // 0 dB
  g = TmaPage::CheckGain("2,5", limits);
  EXPECT_EQ(g.Verdict, TmaPage::GainCheck::Status::kInvalid);
  EXPECT_EQ(g.Message, "Invalid Tilt value.") << "the page keeps its message";
  // A resolution of 0 is the step a gain travels in; a finer one than a
  // quarter allows only the gains a quarter-dB octet carries.
  EXPECT_EQ(TmaPage::CheckGain("4.25", {16, 48, 0}).Quarters, 17);
  EXPECT_EQ(TmaPage::CheckGain("4.0625", {16, 48, 1}).Quarters, 16);
  EXPECT_EQ(TmaPage::CheckGain("4.25", {16, 48, 1}).Quarters, 17);
  EXPECT_EQ(TmaPage::CheckGain("12", {48, 48, 4}).Quarters, 48);
  EXPECT_EQ(TmaPage::CheckGain("11", {48, 48, 4}).Message, "Gain 11 dB is not allowed: the TMA allows only 12.0 dB");
  EXPECT_EQ(TmaPage::CheckGain("5", {48, 16, 4}).Message,
            "Gain 5 dB is not allowed: the TMA's limits 12.0 to 4.0 dB allow no gain");
}

TEST(CliPageRules, TextFieldsRefuseLongAndPadShortTexts) {
  DeviceData d;
  FieldPages::Entry e = FieldPages::ApplyEntry(kFieldAntennaModelNumber, {"ABC"}, d);
  EXPECT_EQ(e.Verdict, Status::kShorter);
  EXPECT_EQ(e.Message, "Model Number is shorter than expected length [15]. It will left padded");
  EXPECT_EQ(d.AntennaModelNumber, "ABC");
  e = FieldPages::ApplyEntry(kFieldOperatorInstallId, {"TD0012"}, d);
  EXPECT_EQ(e.Verdict, Status::kRefused);
  EXPECT_EQ(e.Message, "Install ID is longer than expected length [5]. Set not allowed!");
  EXPECT_EQ(d.InstallerId, "TD0012");  // stored, though not sent
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldOperatorInstallDate, {"240611"}, d).Verdict, Status::kOk);
  e = FieldPages::ApplyEntry(kFieldTmaType, {"12"}, d);
  EXPECT_EQ(e.Message, "Parameter is longer than expected length [1]. Set not allowed!");
  d.TmaSubunitType = 9;
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldTmaType, {""}, d).Verdict, Status::kShorter);
  EXPECT_EQ(d.TmaSubunitType, 0);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldTmaType, {"7"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.TmaSubunitType, 7);
  for (const char* bad : {"x", "-", "+"}) {
    EXPECT_EQ(FieldPages::ApplyEntry(kFieldTmaType, {bad}, d).Message, "Invalid TMA Type value.") << bad;
  }
  EXPECT_EQ(d.TmaSubunitType, 7);
}

TEST(CliPageRules, NumberFieldsConvertAndCheckTheirRange) {
  DeviceData d;
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldOperatorAntennaBearing, {"360.0"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.AntennaBearing, 3600);
  for (const char* bad : {"360.1", "-0.1"}) {
    FieldPages::Entry e = FieldPages::ApplyEntry(kFieldOperatorAntennaBearing, {bad}, d);
    EXPECT_EQ(e.Message, "Invalid Antenna Bearing Value. Please enter a value between 0 - 360.0") << bad;
  }
  EXPECT_EQ(d.AntennaBearing, 3600);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldOperatorAntennaBearing, {""}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.AntennaBearing, 0);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldOperatorMechanicalTilt, {"400"}, d).Message,
            "Invalid Tilt value. Please enter a value between 0 - 360.0");
  // The gain boxes are checked in order and none is stored when one is bad.
  d.GainForBands[0] = 7;
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaGain, {"2.5", "2,5", "1", "1"}, d).Message, "Invalid Gain value.");
  EXPECT_EQ(d.GainForBands[0], 7);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaGain, {"2.5", "17.1"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.GainForBands[0], 25);
  EXPECT_EQ(d.GainForBands[1], 171);
  EXPECT_EQ(d.GainForBands[2], 0);  // a missing box counts as empty
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaMinTilt, {"-2.5"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.MinSupportedTilt, -25);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaMaxTilt, {"x"}, d).Message, "Invalid Tilt value.");
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldTmaMaxSupportGain, {"10.3"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.TmaMaxGain, 41);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldTmaGainResolution, {"16"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.TmaGainResolution, 4);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaBeamwidth, {"65", "", "60"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.BeamwidthForBands[0], 65);
  EXPECT_EQ(d.BeamwidthForBands[1], 0);
  EXPECT_EQ(d.BeamwidthForBands[2], 60);
}

// Each value the field's octets cannot hold, and each text that is not a
// number over its whole length, is refused with the field's message, and
// nothing of the field is stored.
TEST(CliPageRules, NumbersMustFitTheFieldAfterScaling) {
  DeviceData d;
  d.MaxSupportedTilt = 120;
  d.GainForBands[0] = 171;
  d.BeamwidthForBands[0] = 65;
  d.TmaMaxGain = 48;
  d.TmaGainResolution = 4;
  d.TmaRxBandMin = 1710;
  const std::vector<std::tuple<uint8_t, std::vector<std::string>, std::string>> refused = {
      {kFieldAntennaMaxTilt, {"5000"}, "Invalid Tilt value."},
      {kFieldAntennaMinTilt, {"-3276.9"}, "Invalid Tilt value."},
      {kFieldAntennaGain, {"30"}, "Invalid Gain value."},
      {kFieldAntennaGain, {"1", "-1"}, "Invalid Gain value."},
      {kFieldAntennaGain, {"0.01"}, "Invalid Gain value."},
      {kFieldAntennaBeamwidth, {"70000"}, "Invalid Beamwidth value."},
      {kFieldAntennaBeamwidth, {"65", "-1"}, "Invalid Beamwidth value."},
      {kFieldAntennaBeamwidth, {"1x"}, "Invalid Beamwidth value."},
      {kFieldAntennaBeamwidth, {"abc"}, "Invalid Beamwidth value."},
      {kFieldAntennaFrequencyBand08, {"65536"}, "Invalid Frequency Band value."},
      {kFieldTmaMaxSupportGain, {"100"}, "Invalid Gain value."},
      {kFieldTmaMinSupportGain, {"-0.25"}, "Invalid Gain value."},
      {kFieldTmaGainResolution, {"0.1"}, "Invalid Gain value."},
      {kFieldTmaGainResolution, {"1024"}, "Invalid Gain value."},
      {kFieldTmaRxFrequencyBand, {"abc", "def"}, "Invalid Rx Frequency Band value."},
      {kFieldTmaTxFrequencyBand, {"1805", "-1880"}, "Invalid Tx Frequency Band value."},
  };
  for (const auto& [field, texts, message] : refused) {
    FieldPages::Entry e = FieldPages::ApplyEntry(field, texts, d);
    EXPECT_EQ(e.Verdict, Status::kRefused) << texts[0];
    EXPECT_EQ(e.Message, message) << texts[0];
  }
  EXPECT_EQ(d.MaxSupportedTilt, 120);
  EXPECT_EQ(d.GainForBands[0], 171);
  EXPECT_EQ(d.BeamwidthForBands[0], 65);
  EXPECT_EQ(d.TmaMaxGain, 48);
  EXPECT_EQ(d.TmaGainResolution, 4);
  EXPECT_EQ(d.TmaRxBandMin, 1710);
  // The largest values that fit are taken as before.
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaMinTilt, {"-3276.8"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.MinSupportedTilt, INT16_MIN);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldTmaGainResolution, {"1023.9"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.TmaGainResolution, 255);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldTmaTxFrequencyBand, {"65535", "0"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.TmaTxBandMin, 65535);
}

TEST(CliPageRules, FieldsAreShownAsThePagesShowThem) {
  DeviceData d;
  d.MaxSupportedTilt = 120;
  d.InstalledMechanicalTilt = -25;
  d.AntennaBearing = 1200;
  d.TmaMaxGain = 48;
  d.TmaGainResolution = 4;
  d.TmaRxBandMin = 1710;
  d.TmaRxBandMax = 1785;
  d.GainForBands[0] = 171;
  d.AntennaModelNumber = "  ABC";
  EXPECT_EQ(FieldPages::ShownTexts(kFieldAntennaMaxTilt, d), std::vector<std::string>{"12.0"});
  EXPECT_EQ(FieldPages::ShownTexts(kFieldOperatorMechanicalTilt, d), std::vector<std::string>{"-2.5"});
  EXPECT_EQ(FieldPages::ShownTexts(kFieldOperatorAntennaBearing, d), std::vector<std::string>{"120.0"});
  EXPECT_EQ(FieldPages::ShownTexts(kFieldTmaMaxSupportGain, d), std::vector<std::string>{"12.0"});
  EXPECT_EQ(FieldPages::ShownTexts(kFieldTmaGainResolution, d), std::vector<std::string>{"16.0"});
  EXPECT_EQ(FieldPages::ShownTexts(kFieldTmaRxFrequencyBand, d), (std::vector<std::string>{"1710", "1785"}));
  EXPECT_EQ(FieldPages::ShownTexts(kFieldAntennaGain, d), (std::vector<std::string>{"17.1", "0.0", "0.0", "0.0"}));
  EXPECT_EQ(FieldPages::ShownTexts(kFieldAntennaModelNumber, d), std::vector<std::string>{"  ABC"});
  EXPECT_EQ(FieldPages::BoxCount(kFieldAntennaBeamwidth), 4u);
  EXPECT_EQ(FieldPages::BoxCount(kFieldTmaTxFrequencyBand), 2u);
  EXPECT_EQ(FieldPages::FieldsOfKind(kAldTma).size(), 8u);
  EXPECT_EQ(FieldPages::FieldsOfKind(kAldMultiRet).size(), 13u);
  EXPECT_TRUE(FieldPages::FieldsOfKind(kAldTypeUnknown).empty());
}

TEST(CliPageRules, BandMarksAndTheThreeBandWords) {
  uint16_t words[3] = {};
  ASSERT_TRUE(FieldPages::MarkBands({40}, words));
  EXPECT_EQ(words[0], 0x8000);  // word C present
  EXPECT_EQ(words[1], 0);
  EXPECT_EQ(words[2], 0x0080);
  ASSERT_TRUE(FieldPages::MarkBands({1, 6, 7, 15, 31}, words));
  EXPECT_EQ(words[0], 0x4000 | 0x8000 | 0x20 | 0x01 | 0x40);
  EXPECT_EQ(words[1], 0x0001);
  EXPECT_EQ(words[2], 0x1000);
  EXPECT_EQ(FieldPages::MarkedBands(words), (std::vector<int>{1, 6, 7, 15, 31}));
  EXPECT_FALSE(FieldPages::MarkBands({45}, words));
  EXPECT_FALSE(FieldPages::MarkBands({0}, words));
  EXPECT_TRUE(FieldPages::ReadsWordB(0x4000));
  EXPECT_FALSE(FieldPages::ReadsWordC(0x4000));
  EXPECT_FALSE(FieldPages::ReadsWordB(0xFFFF));  // all ones stops the reads
  DeviceData d;
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaFrequencyBand, {"1, 9,40"}, d).Verdict, Status::kOk);
  EXPECT_EQ(FieldPages::ShownTexts(kFieldAntennaFrequencyBand, d), std::vector<std::string>{"1, 9, 40"});
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaFrequencyBand, {"1;2"}, d).Verdict, Status::kRefused);
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaFrequencyBand, {"1000"}, d).Verdict, Status::kRefused);
}

}  // namespace
