#include <QSignalSpy>
#include <QTest>

#include "FieldPagesFixture.h"
#include "ald/AldType.h"
#include "layer7/DataFieldId.h"
#include "ui/BandCheckCombo.h"
#include "ui/BandListModel.h"
#include "ui/ColorEdit.h"

namespace {

using json = nlohmann::json;
using A = AntennaFieldsPage;
using O = OperatorFieldsPage;
using T = TmaFieldsPage;

const std::string kSingle = "AA0000801234567";
const std::string kMulti = "BB0000801234568";
const std::string kTma = "CC0000801234569";

json WithFields(json device, const json& fields) {
  for (json& subunit : device["subunits"]) subunit["fields"] = fields;
  return device;
}

// A single RET, a multi RET with three antennas and a TMA with two
// subunits, in slots 1 to 3; every antenna starts with a model number and
// a few bands, beamwidths and gains.
json Site(const std::string& singleProduct = "") {
  json antenna = {{"antennaModelNumber", "ANT-MODEL-15CHR"},
                  {"antennaSerialNumber", "SERIAL-17-CHARS-X"},
                  {"antennaFrequencyBand", 0x20},
                  {"antennaBeamwidth", {65, 60, 0, 0}},
                  {"antennaGain", {170, 175, 0, 0}}};
  json single = WithFields(DeviceWindowsBench::Device("singleRet", kSingle), antenna);
  if (!singleProduct.empty()) single["productNumber"] = singleProduct;
  return DeviceWindowsBench::Site({single, WithFields(DeviceWindowsBench::Device("multiRet", kMulti, 3), antenna),
                                   DeviceWindowsBench::Device("tma", kTma, 2)});
}

QString Text(ColorEdit* box) {
  return box->text();
}

}  // namespace

class FieldPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void antennaGetShowsEveryFieldOfASingleRet();
  void antennaSetWritesAndReadsBackASingleRet();
  void antennaSetShowsOneShorterMessagePerRun();
  void aTooLongModelNumberStopsTheSerialNumberOnly();
  void antennaGainEntryRules();
  void bandsBeyondWordAReachTheDevice();
  void antennaPageOfAMultiRetWritesTheSelectedAntenna();
  void operatorPageWritesAndReadsBack();
  void operatorBearingAndTiltRanges();
  void tmaFieldsOfASubunit();
  void tmaFieldEntryRules();
  void tmaFieldsRefreshOnlyForATma();
  void antennaPageOfATmaHidesAndSkipsTheTiltLimits();
  void aFixedSerialNumberIsLockedAfterItsRead();
  void withoutACurrentAldOnlyAWarning();
  void disabledCommandsStayDisabledAfterARun();
  void aReadFailureKeepsTheBoxes();
  void clearEmptiesBoxesMarksAndColours();
  void enterAndEscapeMoveOnLikeTab();
};

void FieldPagesTest::antennaGetShowsEveryFieldOfASingleRet() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.antenna->GetAll();
  QCOMPARE(Text(f.antenna->Box(A::kModelBox)), QString("ANT-MODEL-15CHR"));
  QCOMPARE(Text(f.antenna->Box(A::kSerialBox)), QString("SERIAL-17-CHARS-X"));
  QCOMPARE(Text(f.antenna->Box(A::kBeamwidthBox1)), QString("65"));
  QCOMPARE(Text(f.antenna->Box(A::kBeamwidthBox1 + 1)), QString("60"));
  QCOMPARE(Text(f.antenna->Box(A::kGainBox1)), QString("17.0"));
  QCOMPARE(Text(f.antenna->Box(A::kGainBox1 + 1)), QString("17.5"));
  // The simulator's defaults: 10.0 to 0.0 degrees.
  QCOMPARE(Text(f.antenna->Box(A::kMaxTiltBox)), QString("10.0"));
  QCOMPARE(Text(f.antenna->Box(A::kMinTiltBox)), QString("0.0"));
  QCOMPARE(f.antenna->Bands()->Marks()->MarkedBands(), std::vector<int>{1});
  QCOMPARE(f.antenna->Bands()->ClosedText(), QString(" 1"));
  QCOMPARE(f.antenna->Button(A::kGetButton)->text(), QString("GET"));
  QVERIFY(f.antenna->Button(A::kGetButton)->isEnabled());
  QCOMPARE(CaptionColor::Of(f.antenna->Button(A::kGetButton)), CaptionColor::kBlack);
  // Seven fields; the band word A announces no further word.
  QCOMPARE(f.owner.pausedMs, 7 * 25);
  QVERIFY(f.NewMessages().empty());
}

void FieldPagesTest::antennaSetWritesAndReadsBackASingleRet() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.antenna->GetAll();
  f.antenna->Box(A::kSerialBox)->setText("NEW-SERIAL-17-CHR");
  f.antenna->Box(A::kBeamwidthBox1 + 2)->setText("33");
  f.antenna->Box(A::kGainBox1 + 3)->setText("2.5");
  f.antenna->Box(A::kMaxTiltBox)->setText("12.3");
  f.antenna->Box(A::kMinTiltBox)->setText("-2.5");
  f.antenna->Bands()->Marks()->SetMarkedBands({3, 8});
  f.antenna->SetAll();
  QCOMPARE(f.SimText(kSingle, 1, kFieldAntennaSerialNumber), std::string("NEW-SERIAL-17-CHR"));
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaBeamwidth, 2), 33);
  QCOMPARE(f.SimField(kSingle, 1, kFieldAntennaGain), (std::vector<uint8_t>{170, 175, 0, 25}));
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaMaxTilt), 123);
  QCOMPARE(static_cast<int16_t>(f.SimWord(kSingle, 1, kFieldAntennaMinTilt)), int16_t{-25});
  // Band 3 is bit 3 and band 8 bit 7 of word A.
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaFrequencyBand), 0x0088);
  // Read back, from the device.
  QCOMPARE(Text(f.antenna->Box(A::kMinTiltBox)), QString("-2.5"));
  QCOMPARE(Text(f.antenna->Box(A::kGainBox1 + 3)), QString("2.5"));
  QCOMPARE(f.antenna->Bands()->ClosedText(), QString(" 3,  8"));
  QCOMPARE(f.owner.alarmReads, 1);
  QCOMPARE(f.antenna->Button(A::kSetButton)->text(), QString("SET"));
  QVERIFY(f.NewMessages().empty());
}

void FieldPagesTest::antennaSetShowsOneShorterMessagePerRun() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.antenna->Box(A::kModelBox)->setText("MODEL-14-CHARS");
  f.antenna->Box(A::kSerialBox)->setText("SERIAL-16-CHARSX");
  f.antenna->SetAll();
  QCOMPARE(f.NewMessages(),
           std::vector<std::string>{"Model Number is shorter than expected length [15]. It will left padded"});
  // Sent right-aligned with NUL octets in front.
  QCOMPARE(f.SimField(kSingle, 1, kFieldAntennaModelNumber), SimDataFields::EncodeText("MODEL-14-CHARS", 15));
  QCOMPARE(f.SimField(kSingle, 1, kFieldAntennaSerialNumber), SimDataFields::EncodeText("SERIAL-16-CHARSX", 17));
  // The next run shows it again.
  f.antenna->Box(A::kSerialBox)->setText("SHORT");
  f.antenna->SetAll();
  QCOMPARE(f.NewMessages().size(), size_t{1});
}

void FieldPagesTest::aTooLongModelNumberStopsTheSerialNumberOnly() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.antenna->Box(A::kModelBox)->setText("MODEL-16-CHARSXX");
  f.antenna->Box(A::kSerialBox)->setText("OTHER-SERIAL-NUMB");
  f.antenna->Bands()->Marks()->SetMarkedBands({2});
  f.antenna->SetAll();
  QCOMPARE(f.NewMessages(),
           std::vector<std::string>{"Model Number is longer than expected length [15]. Set not allowed!"});
  QCOMPARE(f.SimText(kSingle, 1, kFieldAntennaModelNumber), std::string("ANT-MODEL-15CHR"));
  QCOMPARE(f.SimText(kSingle, 1, kFieldAntennaSerialNumber), std::string("SERIAL-17-CHARS-X"));
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaFrequencyBand), 0x0010);
  // The read-back shows the device's model number again.
  QCOMPARE(Text(f.antenna->Box(A::kModelBox)), QString("ANT-MODEL-15CHR"));
}

void FieldPagesTest::antennaGainEntryRules() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.antenna->GetAll();
  f.antenna->Box(A::kGainBox1 + 1)->setText("2,5");
  f.antenna->Box(A::kGainBox1 + 2)->setText("x");
  f.antenna->Box(A::kMaxTiltBox)->setText("1,5");
  f.antenna->SetAll();
  QCOMPARE(f.NewMessages(), (std::vector<std::string>{"Invalid Gain value.", "Invalid Tilt value."}));
  QCOMPARE(f.SimField(kSingle, 1, kFieldAntennaGain), (std::vector<uint8_t>{170, 175, 0, 0}));
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaMaxTilt), 100);
}

void FieldPagesTest::bandsBeyondWordAReachTheDevice() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.antenna->Bands()->Marks()->SetMarkedBands({40});
  f.antenna->SetAll();
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaFrequencyBand), 0x8000);
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaFrequencyBand09), 0x0080);
  QCOMPARE(f.antenna->Bands()->Marks()->MarkedBands(), std::vector<int>{40});
  f.antenna->Bands()->Marks()->SetMarkedBands({1, 20, 31});
  f.antenna->SetAll();
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaFrequencyBand), 0x0020 | 0x4000 | 0x8000);
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaFrequencyBand08), 1 << 5);
  QCOMPARE(f.SimWord(kSingle, 1, kFieldAntennaFrequencyBand09), 1 << 12);
  QCOMPARE(f.antenna->Bands()->Marks()->MarkedBands(), (std::vector<int>{1, 20, 31}));
  // Word A without continuation: the marks of words B and C go, though
  // the device still keeps the old words.
  f.antenna->Bands()->Marks()->SetMarkedBands({2});
  f.antenna->SetAll();
  QCOMPARE(f.antenna->Bands()->Marks()->MarkedBands(), std::vector<int>{2});
}

void FieldPagesTest::antennaPageOfAMultiRetWritesTheSelectedAntenna() {
  FieldPagesBench f(Site());
  f.Select(2, 3);
  f.antenna->GetAll();
  QCOMPARE(Text(f.antenna->Box(A::kModelBox)), QString("ANT-MODEL-15CHR"));
  f.antenna->Box(A::kSerialBox)->setText("ANTENNA-THREE-SN1");
  f.antenna->Box(A::kMinTiltBox)->setText("-1.5");
  f.antenna->SetAll();
  QCOMPARE(f.SimText(kMulti, 3, kFieldAntennaSerialNumber), std::string("ANTENNA-THREE-SN1"));
  QCOMPARE(static_cast<int16_t>(f.SimWord(kMulti, 3, kFieldAntennaMinTilt)), int16_t{-15});
  QCOMPARE(f.SimText(kMulti, 1, kFieldAntennaSerialNumber), std::string("SERIAL-17-CHARS-X"));
  QCOMPARE(f.SimWord(kMulti, 2, kFieldAntennaMinTilt), 0);
  // Stored in antenna 3's block only.
  AldRecord& ald = f.bench.table.Record(2);
  QCOMPARE(ald.Subunits[2].Data.AntennaSerialNumber, std::string("ANTENNA-THREE-SN1"));
  QVERIFY(ald.Subunits[0].Data.AntennaSerialNumber != "ANTENNA-THREE-SN1");
}

void FieldPagesTest::operatorPageWritesAndReadsBack() {
  FieldPagesBench f(Site());
  f.Select(2, 2);
  O& page = *f.operatorPage;
  page.Box(O::kInstallDateBox)->setText("241210");
  page.Box(O::kInstallIdBox)->setText("AB");
  page.Box(O::kBaseStationIdBox)->setText("SITE-0042");
  page.Box(O::kSectorIdBox)->setText("");
  page.Box(O::kBearingBox)->setText("360.0");
  page.Box(O::kMechanicalTiltBox)->setText("12.5");
  page.SetAll();
  QCOMPARE(f.NewMessages(),
           (std::vector<std::string>{"Install ID is shorter than expected length [5]. It will left padded",
                                     "BaseStation ID is shorter than expected length [32]. It will left padded",
                                     "Sector ID is shorter than expected length [32]. It will left padded"}));
  QCOMPARE(f.SimText(kMulti, 2, kFieldOperatorInstallDate), std::string("241210"));
  QCOMPARE(f.SimField(kMulti, 2, kFieldOperatorInstallId), SimDataFields::EncodeText("AB", 5));
  QCOMPARE(f.SimField(kMulti, 2, kFieldOperatorBaseStationId), SimDataFields::EncodeText("SITE-0042", 32));
  QCOMPARE(f.SimWord(kMulti, 2, kFieldOperatorAntennaBearing), 3600);
  QCOMPARE(f.SimWord(kMulti, 2, kFieldOperatorMechanicalTilt), 125);
  QCOMPARE(f.SimWord(kMulti, 1, kFieldOperatorAntennaBearing), 0);
  // Read back as the device keeps it.
  QCOMPARE(Text(page.Box(O::kInstallIdBox)), QString("   AB"));
  QCOMPARE(Text(page.Box(O::kBearingBox)), QString("360.0"));
  QCOMPARE(f.owner.alarmReads, 1);
  // The page's SET shows every field's result, its GET every read's.
  int setResults = 0;
  for (const auto& r : f.owner.results) setResults += r.Button == page.Button(O::kSetButton);
  QCOMPARE(setResults, 6);
  // The operator page shows its messages every time; the read-back has
  // filled the boxes to their widths.
  page.Box(O::kInstallIdBox)->setText("AB");
  page.Box(O::kBaseStationIdBox)->setText("SITE-0042");
  page.Box(O::kSectorIdBox)->setText("");
  page.SetAll();
  QCOMPARE(f.NewMessages().size(), size_t{3});
}

void FieldPagesTest::operatorBearingAndTiltRanges() {
  FieldPagesBench f(Site());
  f.Select(1);
  O& page = *f.operatorPage;
  page.Box(O::kInstallDateBox)->setText("241210");
  page.Box(O::kInstallIdBox)->setText("ABCDE");
  page.Box(O::kBaseStationIdBox)->setText(QString(32, 'B'));
  page.Box(O::kSectorIdBox)->setText(QString(32, 'S'));
  page.Box(O::kBearingBox)->setText("360.1");
  page.Box(O::kMechanicalTiltBox)->setText("-0.1");
  page.SetAll();
  QCOMPARE(f.NewMessages(),
           (std::vector<std::string>{"Invalid Antenna Bearing Value. Please enter a value between 0 - 360.0",
                                     "Invalid Tilt value. Please enter a value between 0 - 360.0"}));
  QCOMPARE(f.SimText(kSingle, 1, kFieldOperatorSectorId), std::string(32, 'S'));
  page.Box(O::kBearingBox)->setText("");
  page.Box(O::kMechanicalTiltBox)->setText("2,5");
  f.SimWord(kSingle, 1, kFieldOperatorAntennaBearing);
  page.SetAll();
  QCOMPARE(f.NewMessages(), std::vector<std::string>{"Invalid Tilt value."});
  QCOMPARE(f.SimWord(kSingle, 1, kFieldOperatorAntennaBearing), 0);
  QCOMPARE(Text(page.Box(O::kBearingBox)), QString("0.0"));
}

void FieldPagesTest::tmaFieldsOfASubunit() {
  FieldPagesBench f(Site());
  f.Select(3, 2);
  T& page = *f.tma;
  page.Refresh();
  // The simulator's defaults: 12 dB maximum, 4 dB minimum, 1 dB steps.
  QCOMPARE(Text(page.Box(T::kMaxGainBox)), QString("12.0"));
  QCOMPARE(Text(page.Box(T::kMinGainBox)), QString("4.0"));
  QCOMPARE(Text(page.Box(T::kGainResolutionBox)), QString("16.0"));
  page.Box(T::kModelBox)->setText("TMA-MODEL-15CHR");
  page.SetField(kFieldTmaModelNumber);
  page.Box(T::kRxMinBox)->setText("1920");
  page.Box(T::kRxMaxBox)->setText("1980");
  page.SetField(kFieldTmaRxFrequencyBand);
  page.Box(T::kMaxGainBox)->setText("10.3");
  page.SetField(kFieldTmaMaxSupportGain);
  QCOMPARE(f.SimText(kTma, 2, kFieldTmaModelNumber), std::string("TMA-MODEL-15CHR"));
  QCOMPARE(f.SimWord(kTma, 2, kFieldTmaRxFrequencyBand, 0), 1920);
  QCOMPARE(f.SimWord(kTma, 2, kFieldTmaRxFrequencyBand, 1), 1980);
  QCOMPARE(f.SimField(kTma, 2, kFieldTmaMaxSupportGain), std::vector<uint8_t>{41});
  QCOMPARE(f.SimField(kTma, 1, kFieldTmaMaxSupportGain), std::vector<uint8_t>{48});
  page.Box(T::kMaxGainBox)->clear();
  page.Box(T::kRxMaxBox)->clear();
  page.GetField(kFieldTmaMaxSupportGain);
  page.GetField(kFieldTmaRxFrequencyBand);
  QCOMPARE(Text(page.Box(T::kMaxGainBox)), QString("10.2"));
  QCOMPARE(Text(page.Box(T::kRxMaxBox)), QString("1980"));
  QCOMPARE(CaptionColor::Of(page.Button(1060 + 4)), CaptionColor::kBlack);
  QVERIFY(f.NewMessages().empty());
}

void FieldPagesTest::tmaFieldEntryRules() {
  FieldPagesBench f(Site());
  f.Select(3, 1);
  T& page = *f.tma;
  page.Box(T::kTypeBox)->setText("12");
  page.SetField(kFieldTmaType);
  QCOMPARE(f.NewMessages(), std::vector<std::string>{"Parameter is longer than expected length [1]. Set not allowed!"});
  page.Box(T::kTypeBox)->setText("7");
  page.SetField(kFieldTmaType);
  QCOMPARE(f.SimField(kTma, 1, kFieldTmaType), std::vector<uint8_t>{7});
  page.Box(T::kTypeBox)->setText("");
  page.SetField(kFieldTmaType);
  QCOMPARE(f.NewMessages(),
           std::vector<std::string>{"Parameter is shorter than expected length [1]. It will left padded"});
  QCOMPARE(f.SimField(kTma, 1, kFieldTmaType), std::vector<uint8_t>{0});
  page.Box(T::kSerialBox)->setText("TMA-SERIAL");
  page.SetField(kFieldTmaSerialNumber);
  QCOMPARE(f.NewMessages(),
           std::vector<std::string>{"Parameter is shorter than expected length [17]. It will left padded"});
  QCOMPARE(f.SimField(kTma, 1, kFieldTmaSerialNumber), SimDataFields::EncodeText("TMA-SERIAL", 17));
  page.Box(T::kMinGainBox)->setText("2,5");
  page.SetField(kFieldTmaMinSupportGain);
  QCOMPARE(f.NewMessages(), std::vector<std::string>{"Invalid Gain value."});
  QCOMPARE(f.SimField(kTma, 1, kFieldTmaMinSupportGain), std::vector<uint8_t>{16});
}

void FieldPagesTest::tmaFieldsRefreshOnlyForATma() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.bench.ForgetTrace();
  f.tma->Refresh();
  QCOMPARE(f.bench.TraceCount("Field: 'Tma"), size_t{0});
  QVERIFY(Text(f.tma->Box(T::kMaxGainBox)).isEmpty());
  f.Select(3, 1);
  f.tma->Refresh();
  QCOMPARE(f.bench.TraceCount("Field: 'Tma"), size_t{8});
}

void FieldPagesTest::antennaPageOfATmaHidesAndSkipsTheTiltLimits() {
  FieldPagesBench f(Site());
  QVERIFY(f.antenna->TiltLimitsShown());
  f.antenna->SetDeviceType(kAldTma);
  QVERIFY(!f.antenna->TiltLimitsShown());
  QVERIFY(f.antenna->Box(A::kMaxTiltBox)->isHidden());
  f.Select(3, 1);
  f.bench.ForgetTrace();
  f.antenna->GetAll();
  QCOMPARE(f.bench.TraceCount("Field: 'Antenna Max Tilt'"), size_t{0});
  QCOMPARE(f.bench.TraceCount("Field: 'Antenna Model Number'"), size_t{1});
  f.antenna->SetDeviceType(kAldSingleRet);
  QVERIFY(f.antenna->TiltLimitsShown());
}

void FieldPagesTest::aFixedSerialNumberIsLockedAfterItsRead() {
  FieldPagesBench f(Site("M2614"));
  f.Select(1);
  QVERIFY(f.antenna->Box(A::kSerialBox)->isEnabled());
  f.antenna->GetAll();
  QVERIFY(!f.antenna->Box(A::kSerialBox)->isEnabled());
  QVERIFY(f.antenna->Box(A::kSerialBox)->IsLocked());
  // Any other product leaves the box as it was.
  f.Select(2, 1);
  FieldPagesBench g(Site());
  g.Select(1);
  g.antenna->GetAll();
  QVERIFY(g.antenna->Box(A::kSerialBox)->isEnabled());
}

void FieldPagesTest::withoutACurrentAldOnlyAWarning() {
  FieldPagesBench f(Site());
  f.bench.table.SelectAld(AldTable::kNoSelection);
  f.bench.ForgetTrace();
  f.antenna->GetAll();
  f.antenna->SetAll();
  f.operatorPage->SetAll();
  f.tma->SetField(kFieldTmaModelNumber);
  QCOMPARE(f.bench.TraceCount("You must select a device first!"), size_t{4});
  QCOMPARE(f.bench.TraceCount("Handling Command"), size_t{0});
  QVERIFY(f.owner.results.empty());
  QCOMPARE(f.owner.alarmReads, 0);
}

void FieldPagesTest::disabledCommandsStayDisabledAfterARun() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.antenna->EnableCommands(false);
  f.operatorPage->EnableCommands(false);
  QVERIFY(!f.antenna->Button(A::kGetButton)->isEnabled());
  QVERIFY(!f.operatorPage->Button(O::kSetButton)->isEnabled());
  // A run started elsewhere (the window's GET ALL) leaves them off.
  f.antenna->GetAll();
  QVERIFY(!f.antenna->Button(A::kGetButton)->isEnabled());
  f.antenna->EnableCommands(true);
  f.operatorPage->EnableCommands(true);
  QVERIFY(f.antenna->Button(A::kSetButton)->isEnabled());
  QVERIFY(f.operatorPage->Button(O::kGetButton)->isEnabled());
}

void FieldPagesTest::aReadFailureKeepsTheBoxes() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.antenna->GetAll();
  f.bench.bus.PowerOff(*f.bench.bus.Find(kSingle));
  f.antenna->Box(A::kSerialBox)->setText("TYPED");
  f.antenna->GetAll();
  QCOMPARE(Text(f.antenna->Box(A::kSerialBox)), QString("TYPED"));
  QCOMPARE(Text(f.antenna->Box(A::kModelBox)), QString("ANT-MODEL-15CHR"));
  QCOMPARE(CaptionColor::Of(f.antenna->Button(A::kGetButton)), CaptionColor::kRed);
  QCOMPARE(CaptionColor::Of(f.antenna->FieldButton(kFieldAntennaSerialNumber, false)), CaptionColor::kRed);
}

void FieldPagesTest::clearEmptiesBoxesMarksAndColours() {
  FieldPagesBench f(Site());
  f.Select(1);
  f.bench.bus.PowerOff(*f.bench.bus.Find(kSingle));
  f.antenna->Box(A::kSerialBox)->setText("TYPED");
  f.antenna->Bands()->Marks()->SetMarkedBands({5});
  f.antenna->GetAll();
  QCOMPARE(CaptionColor::Of(f.antenna->Button(A::kGetButton)), CaptionColor::kRed);
  f.antenna->Clear();
  QVERIFY(Text(f.antenna->Box(A::kSerialBox)).isEmpty());
  QVERIFY(f.antenna->Bands()->Marks()->MarkedBands().empty());
  QCOMPARE(CaptionColor::Of(f.antenna->Button(A::kGetButton)), CaptionColor::kBlack);
}

void FieldPagesTest::enterAndEscapeMoveOnLikeTab() {
  FieldPagesBench f(Site());
  O& page = *f.operatorPage;
  page.show();
  QVERIFY(QTest::qWaitForWindowActive(&page));
  page.Box(O::kInstallDateBox)->setFocus();
  QTRY_VERIFY(page.Box(O::kInstallDateBox)->hasFocus());
  QTest::keyClick(page.Box(O::kInstallDateBox), Qt::Key_Return);
  QTRY_VERIFY(page.Box(O::kInstallIdBox)->hasFocus());
  QTest::keyClick(page.Box(O::kInstallIdBox), Qt::Key_Escape);
  QTRY_VERIFY(page.Box(O::kBaseStationIdBox)->hasFocus());
  QVERIFY(page.isVisible());
}

QTEST_MAIN(FieldPagesTest)
#include "FieldPagesTest.moc"
