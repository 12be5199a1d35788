// The page rules that the command-line tool and the windows share: tilt
// entry and limits, TMA conversions, field conversions and checks.

#include <gtest/gtest.h>

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
  EXPECT_EQ(EntryText::Integer("12abc"), 12);
  EXPECT_EQ(EntryText::Integer("-7"), -7);
  EXPECT_EQ(EntryText::Integer("abc"), 0);
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
  EXPECT_EQ(FieldPages::ApplyEntry(kFieldAntennaBeamwidth, {"65", "x", "6o"}, d).Verdict, Status::kOk);
  EXPECT_EQ(d.BeamwidthForBands[0], 65);
  EXPECT_EQ(d.BeamwidthForBands[1], 0);
  EXPECT_EQ(d.BeamwidthForBands[2], 6);
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
