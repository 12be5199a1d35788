#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include "DevicePagesFixture.h"
#include "ald/AldType.h"
#include "core/MessagePump.h"
#include "ui/CaptionColor.h"
#include "ui/ColorEdit.h"
#include "ui/DevicePage.h"

namespace {

using json = nlohmann::json;
using W = DeviceWindow;
using R = RetOperationPage;
using T = TmaOperationPage;

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

constexpr char kSingle[] = "AA0000801234567";
constexpr char kMulti[] = "BB0000801234568";
constexpr char kTmaId[] = "CC0000801234569";

QColor CaptionOf(QPushButton* button) {
  return button->palette().color(QPalette::ButtonText);
}

json Ret(const std::string& type, const std::string& id, std::vector<json> subunits) {
  json device = DeviceWindowsBench::Device(type, id, static_cast<int>(subunits.size()));
  for (size_t i = 0; i < subunits.size(); ++i) device["subunits"][i].update(subunits[i]);
  return device;
}

// A single RET at 5.0 degrees, a multi RET whose antennas stand at 1.0,
// 2.0 and 3.0 degrees, and a TMA with two subunits.
json Site() {
  return DeviceWindowsBench::Site({Ret("singleRet", kSingle, {{{"tilt", 50}}}),
                                   Ret("multiRet", kMulti, {{{"tilt", 10}}, {{"tilt", 20}}, {{"tilt", 30}}}),
                                   DeviceWindowsBench::Device("tma", kTmaId, 2)});
}

// Runs f on every PumpMessages call of the operation started next.
class PumpWatch {
 public:
  explicit PumpWatch(std::function<void()> f) { SetPumpMessagesHook(std::move(f)); }
  ~PumpWatch() { SetPumpMessagesHook(nullptr); }
  PumpWatch(const PumpWatch&) = delete;
  PumpWatch& operator=(const PumpWatch&) = delete;
};

// A press as a screen reader or an automation tool makes it, over the
// accessibility interface: no mouse, no focus, the window left as it was.
bool PressAccessibly(QPushButton* button) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
  if (!face || !face->actionInterface()) return false;
  QSignalSpy clicked(button, &QAbstractButton::clicked);
  face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  return clicked.count() > 0 || clicked.wait(5000);
}

void Type(QLineEdit* box, const QString& text) {
  box->clear();
  QTest::keyClicks(box, text);
}

}  // namespace

class DevicePagesTest : public QObject {
  Q_OBJECT

 private slots:
  void pagesAreWhereTheTypeWantsThem();
  void tabsSwitchAsTheTechnicianClicks();
  void getTiltShowsDegreesAndFailures();
  void setTiltChecksTheEntryAndMovesTheAntenna();
  void aPressInAnInactiveWindowActsOnItsOwnAld();
  void anUncalibratedAntennaIsNotMoved();
  void calibrateMarksTheAldAndGivesTheButtonBack();
  void calibrateAllCalibratesEveryRet();
  void configurationDownloadsUpToItsLimit();
  void aFailedConfigurationDownloadOnlyTellsTheUser();
  void firmwareDownloadCorrectsTheChecksumAndReconnects();
  void aCancelledFirmwareChoiceChangesNothing();
  void tmaOperationsNeedASubunit();
  void tmaGainModeAndFunctions();
  void setGainSendsOnlyAllowedGains();
  void serviceModeFollowsTheTiltBox();
  void writeIdentityChecksTheLengths();
  void aLostAldKeepsItsRetButtonsOffUntilReconnected();
  void choosingASubunitReadsItAgain();
  void clearDisplayEmptiesThePages();
  void noCurrentAldOnlyWarns();
  void aBusResetDuringACalibrationEndsQuietly();
  void aBusResetDuringAFirmwareDownloadEndsQuietly();
};

void DevicePagesTest::pagesAreWhereTheTypeWantsThem() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  for (uint8_t slot : {1, 2}) {
    QVERIFY(!b.Window(slot).Tabs()->Page(DeviceTabs::kRetPage)->isHidden());
    QVERIFY(b.Window(slot).Tabs()->Page(DeviceTabs::kTmaPage)->isHidden());
    QVERIFY(b.Window(slot).Button(W::kTmaFieldsButton)->isHidden());
  }
  // The subunit list for the kinds that have numbered subunits.
  QVERIFY(b.Window(1).SubunitList()->isHidden());
  QVERIFY(!b.Window(2).SubunitList()->isHidden());
  QVERIFY(!b.Window(3).SubunitList()->isHidden());
  QVERIFY(b.Window(3).Tabs()->Page(DeviceTabs::kRetPage)->isHidden());
  QVERIFY(!b.Window(3).Tabs()->Page(DeviceTabs::kTmaPage)->isHidden());
  QVERIFY(!b.Window(3).Button(W::kTmaFieldsButton)->isHidden());
  QCOMPARE(b.Window(3).Tabs()->Bar()->currentIndex(), DeviceTabs::kTmaPage);
  // The scan's refresh read every page of the current ALD.
  QCOMPARE(b.Tma(3).Box(T::kGainBox)->text(), QString("12.0"));

  // "<->" swaps the pages and the box's caption, for every window.
  b.Window(1).TogglePage();
  QVERIFY(b.Window(1).Tabs()->Page(DeviceTabs::kRetPage)->isHidden());
  QVERIFY(!b.Window(1).Tabs()->Page(DeviceTabs::kTmaPage)->isHidden());
  QCOMPARE(b.Window(1).TypeBox()->title(), QString("TMA"));
  b.Window(2).Button(W::kTogglePageButton)->click();
  QVERIFY(!b.Window(2).Tabs()->Page(DeviceTabs::kRetPage)->isHidden());
  QCOMPARE(b.Window(2).TypeBox()->title(), QString("RET"));
}

// Only the page recorded as current is hidden: the operator page stands
// beside the antenna page until its own tab has been current.
void DevicePagesTest::tabsSwitchAsTheTechnicianClicks() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  FieldTabs& fields = *b.Window(1).Fields();
  auto shown = [&fields] {
    std::vector<int> pages;
    for (int i = 0; i < fields.PageCount(); ++i)
      if (!fields.Page(i)->isHidden()) pages.push_back(i);
    return pages;
  };
  QCOMPARE(fields.Bar()->count(), 3);
  QCOMPARE(fields.Bar()->tabText(2), QString("TMA"));
  QCOMPARE(shown(), std::vector<int>({0, 1}));
  emit fields.Bar()->tabBarClicked(FieldTabs::kTmaPage);
  QCOMPARE(shown(), std::vector<int>({1, 2}));
  QCOMPARE(fields.CurrentPage(), FieldTabs::kTmaPage);
  emit fields.Bar()->tabBarClicked(FieldTabs::kOperatorPage);
  QCOMPARE(shown(), std::vector<int>({1}));
  emit fields.Bar()->tabBarClicked(FieldTabs::kAntennaPage);
  QCOMPARE(shown(), std::vector<int>({0}));

  b.Window(1).Button(W::kTmaFieldsButton)->click();
  QCOMPARE(shown(), std::vector<int>({2}));
  b.Window(1).Button(W::kOperatorPageButton)->click();
  QCOMPARE(shown(), std::vector<int>({1}));
  b.Window(1).Button(W::kAntennaPageButton)->click();
  QCOMPARE(shown(), std::vector<int>({0}));
}

void DevicePagesTest::getTiltShowsDegreesAndFailures() {
  json site = DeviceWindowsBench::Site({Ret("singleRet", kSingle, {{{"tilt", -25}, {"fields", {{"minTilt", -100}}}}})});
  DevicePagesBench b(site);
  b.ScanAndList();
  b.Ret(1).TiltBox()->clear();
  b.RetButton(1, R::kGetTiltButton)->click();
  QCOMPARE(b.Ret(1).TiltBox()->text(), QString("-2.5"));
  QCOMPARE(b.table.Record(1).Subunits[0].Data.TiltValid, 1);
  QCOMPARE(CaptionOf(b.RetButton(1, R::kGetTiltButton)), kBlack);
  QCOMPARE(b.BoxText(1, W::kAlarmStatus), QString("None"));

  b.bus.PowerOff(0);
  b.RetButton(1, R::kGetTiltButton)->click();
  QCOMPARE(b.Ret(1).TiltBox()->text(), QString());
  QCOMPARE(b.table.Record(1).Subunits[0].Data.TiltValid, 0);
  QCOMPARE(CaptionOf(b.RetButton(1, R::kGetTiltButton)), kRed);
  QCOMPARE(b.BoxText(1, W::kAlarmStatus), QString("Timeout"));
  QCOMPARE(b.Window(1).Box(W::kAlarmStatus)->TextColor(), kRed);
}

void DevicePagesTest::setTiltChecksTheEntryAndMovesTheAntenna() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(1);
  QLineEdit* box = b.Ret(1).TiltBox();
  QPushButton* set = b.RetButton(1, R::kSetTiltButton);

  box->setText("2,5");
  set->click();
  QCOMPARE(b.messages.Texts().back(), std::string("Invalid Tilt value."));
  QCOMPARE(b.SubunitState(kSingle, 1)["tilt"].get<int>(), 50);

  // Out of the antenna's limits: the message, then the tilt read again.
  box->setText("25.5");
  set->click();
  QCOMPARE(b.messages.Texts().back(),
           std::string("Tilt value is out of range. Please enter a value between 0.0 - 10.0"));
  QCOMPARE(box->text(), QString("5.0"));
  QCOMPARE(b.SubunitState(kSingle, 1)["tilt"].get<int>(), 50);

  size_t shown = b.messages.Texts().size();
  box->setText("4.5");
  // The caption while the antenna moves.
  QString moving;
  {
    PumpWatch watch([&] {
      if (!set->isEnabled()) moving = set->text();
    });
    set->click();
  }
  QCOMPARE(moving, QString("MOVING.."));
  QCOMPARE(set->text(), QString("SET TILT"));
  QVERIFY(set->isEnabled());
  QCOMPARE(b.SubunitState(kSingle, 1)["tilt"].get<int>(), 45);
  QCOMPARE(box->text(), QString("4.5"));
  QCOMPARE(CaptionOf(set), kBlack);
  QCOMPARE(b.messages.Texts().size(), shown);

  // An empty box is 0.0.
  box->clear();
  set->click();
  QCOMPARE(b.SubunitState(kSingle, 1)["tilt"].get<int>(), 0);
  QCOMPARE(box->text(), QString("0.0"));
  QCOMPARE(b.messages.Texts().size(), shown);
}

// The TMA's window, opened last, is the active one when the single RET's
// buttons are pressed.
void DevicePagesTest::aPressInAnInactiveWindowActsOnItsOwnAld() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  QCOMPARE(b.area.activeSubWindow(), b.windows.Frame(3));
  QLineEdit* box = b.Ret(1).TiltBox();
  box->clear();
  QVERIFY(PressAccessibly(b.RetButton(1, R::kGetTiltButton)));
  QCOMPARE(box->text(), QString("5.0"));
  QCOMPARE(b.table.CurrentAldIndex(), uint8_t{1});
  QCOMPARE(b.area.activeSubWindow(), b.windows.Frame(1));

  b.windows.Raise(2);
  box->setText("4.0");
  QVERIFY(PressAccessibly(b.RetButton(1, R::kSetTiltButton)));
  QCOMPARE(b.SubunitState(kSingle, 1)["tilt"].get<int>(), 40);
  QCOMPARE(b.SubunitState(kMulti, 1)["tilt"].get<int>(), 10);
  QCOMPARE(box->text(), QString("4.0"));
}

void DevicePagesTest::anUncalibratedAntennaIsNotMoved() {
  json site = DeviceWindowsBench::Site({Ret("singleRet", kSingle, {{{"tilt", 50}, {"calibrated", false}}})});
  DevicePagesBench b(site);
  b.ScanAndList();
  b.Ret(1).TiltBox()->setText("3.0");
  b.RetButton(1, R::kSetTiltButton)->click();
  QCOMPARE(b.messages.Texts().back(), std::string("ALD#1 is Not Calibrated. Please perform Calibration"));
  QCOMPARE(b.SubunitState(kSingle, 1)["tilt"].get<int>(), 50);
  QCOMPARE(b.RetButton(1, R::kSetTiltButton)->text(), QString("SET TILT"));
}

void DevicePagesTest::calibrateMarksTheAldAndGivesTheButtonBack() {
  json site = DeviceWindowsBench::Site({Ret("singleRet", kSingle, {{{"tilt", 50}, {"calibrated", false}}})});
  DevicePagesBench b(site);
  b.ScanAndList();
  QPushButton* calibrate = b.RetButton(1, R::kCalibrateButton);
  CaptionColor::Set(b.RetButton(1, R::kSetTiltButton), kRed);
  QString caption;
  uint8_t state = 0;
  {
    PumpWatch watch([&] {
      if (calibrate->isEnabled()) return;
      caption = calibrate->text();
      state = b.table.Record(1).State.Load();
    });
    calibrate->click();
  }
  QCOMPARE(caption, QString("CALIBRATING"));
  QCOMPARE(state, uint8_t{kStateCalibrating});
  QCOMPARE(b.SubunitState(kSingle, 1)["calibrated"].get<bool>(), true);
  QCOMPARE(calibrate->text(), QString("CALIBRATE"));
  QVERIFY(calibrate->isEnabled());
  QCOMPARE(CaptionOf(calibrate), kBlack);
  QCOMPARE(CaptionOf(b.RetButton(1, R::kSetTiltButton)), kBlack);
  QCOMPARE(b.table.Record(1).State.Load(), uint8_t{kStateConnected});
  QCOMPARE(b.BoxText(1, W::kAlarmStatus), QString("None"));
  QVERIFY(!b.Ret(1).TiltBox()->text().isEmpty());
}

void DevicePagesTest::calibrateAllCalibratesEveryRet() {
  json site = DeviceWindowsBench::Site(
      {Ret("singleRet", kSingle, {{{"calibrated", false}}}),
       Ret("multiRet", kMulti, {{{"calibrated", false}}, {{"calibrated", false}}, {{"calibrated", true}}})});
  DevicePagesBench b(site);
  b.ScanAndList();
  b.windows.Raise(1);
  QPushButton* all = b.RetButton(1, R::kCalibrateAllButton);
  QString caption;
  bool calibrateOff = false;
  {
    PumpWatch watch([&] {
      if (all->isEnabled()) return;
      caption = all->text();
      calibrateOff = !b.RetButton(1, R::kCalibrateButton)->isEnabled();
    });
    all->click();
  }
  QCOMPARE(caption, QString("RUNNING"));
  QVERIFY(calibrateOff);
  QCOMPARE(all->text(), QString("CALIBRATE ALL"));
  QVERIFY(b.RetButton(1, R::kCalibrateButton)->isEnabled());
  QCOMPARE(b.SubunitState(kSingle, 1)["calibrated"].get<bool>(), true);
  for (int n = 1; n <= 3; ++n) QCOMPARE(b.SubunitState(kMulti, n)["calibrated"].get<bool>(), true);
}

void DevicePagesTest::configurationDownloadsUpToItsLimit() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(1);
  QPushButton* config = b.RetButton(1, R::kConfigButton);
  b.chosen.push_back(b.File("big.cfg", std::vector<uint8_t>(131073, 0x11)));
  config->click();
  QCOMPARE(b.messages.Texts().back(), std::string("Download file too big!"));
  QCOMPARE(b.SubunitState(kSingle, 1)["configOctets"].get<int>(), 0);

  // A cancelled choice sends nothing and says nothing.
  size_t shown = b.messages.Texts().size();
  config->click();
  QCOMPARE(b.choices, 2);
  QCOMPARE(b.messages.Texts().size(), shown);

  CaptionColor::Set(config, kRed);
  b.ForgetTrace();
  b.chosen.push_back(b.File("full.cfg", std::vector<uint8_t>(131072, 0x22)));
  config->click();
  QCOMPARE(b.SubunitState(kSingle, 1)["configOctets"].get<int>(), 131072);
  QCOMPARE(CaptionOf(config), kBlack);
  QCOMPARE(b.messages.Texts().size(), shown);
  QVERIFY(b.TracedLine("INF", "AISG", "001", "Config Data completed"));
  // The ALD was refreshed afterwards.
  QVERIFY(b.TracedLine("INF", "MAIN", "001", "Refreshing ALD"));
}

// A multi RET takes no configuration: the device refuses it.
void DevicePagesTest::aFailedConfigurationDownloadOnlyTellsTheUser() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(2);
  QPushButton* config = b.RetButton(2, R::kConfigButton);
  CaptionColor::Set(config, kRed);
  b.ForgetTrace();
  b.chosen.push_back(b.File("some.cfg", std::vector<uint8_t>(100, 0x33)));
  config->click();
  std::string last = b.messages.Texts().back();
  QVERIFY2(last.rfind("Error:  ", 0) == 0, last.c_str());
  QVERIFY(last.find("\nPlease check the file and download again") != std::string::npos);
  QCOMPARE(CaptionOf(config), kRed);
  QVERIFY(!b.TracedLine("INF", "MAIN", "002", "Refreshing ALD"));
}

void DevicePagesTest::firmwareDownloadCorrectsTheChecksumAndReconnects() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(1);
  QPushButton* firmware = b.RetButton(1, R::kFirmwareButton);
  CaptionColor::Set(firmware, kRed);
  b.Window(1).EnableCommands(false);
  std::string path = b.File("fw.css", {0x01, 0x00, 0x02, 0x00});
  b.chosen.push_back(path);
  QString caption;
  {
    PumpWatch watch([&] {
      if (!firmware->isEnabled()) caption = firmware->text();
    });
    // Disabled commands are re-enabled by the download itself; the click
    // stands for the technician's.
    b.Ret(1).DownloadFirmware();
  }
  QCOMPARE(caption, QString("DOWNLOADING"));
  QCOMPARE(firmware->text(), QString("FIRMWARE DWN"));
  QVERIFY(b.messages.Texts().end() !=
          std::find(b.messages.Texts().begin(), b.messages.Texts().end(), std::string("Bad file checksum!")));
  QCOMPARE(b.Read(b.dir.File("fw_chk.css")), std::vector<uint8_t>({0x01, 0x00, 0x59, 0x5A}));
  json device = b.DeviceState(kSingle);
  QCOMPARE(device["downloads"].get<int>(), 1);
  QCOMPARE(device["lastDownloadOctets"].get<int>(), 4);
  QCOMPARE(b.reconnects, 1);
  QCOMPARE(CaptionOf(firmware), kBlack);
  QVERIFY(b.Window(1).CommandsEnabled());
  QVERIFY(b.RetButton(1, R::kSetTiltButton)->isEnabled());
  QCOMPARE(b.table.Record(1).State.Load(), uint8_t{kStateConnected});
}

void DevicePagesTest::aCancelledFirmwareChoiceChangesNothing() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(1);
  QPushButton* firmware = b.RetButton(1, R::kFirmwareButton);
  CaptionColor::Set(firmware, kRed);
  firmware->click();
  QCOMPARE(b.choices, 1);
  QCOMPARE(CaptionOf(firmware), kRed);
  QCOMPARE(b.DeviceState(kSingle)["downloads"].get<int>(), 0);
  QVERIFY(b.messages.Texts().empty());
  QVERIFY(firmware->isEnabled());

  // A file that may not be sent turns the button red.
  CaptionColor::Set(firmware, kBlack);
  b.chosen.push_back(b.File("huge.bin", std::vector<uint8_t>(262145, 0)));
  firmware->click();
  QCOMPARE(b.messages.Texts().back(), std::string("Download file too big!"));
  QCOMPARE(CaptionOf(firmware), kRed);
  QCOMPARE(b.DeviceState(kSingle)["downloads"].get<int>(), 0);
}

void DevicePagesTest::tmaOperationsNeedASubunit() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(3);
  b.table.SelectSubunit(0);
  QCOMPARE(b.table.Record(3).SelectedSubunit.Load(), uint8_t{0});
  uint64_t before = b.link.exchanges;
  for (int id : {T::kGetGainButton, T::kSetGainButton, T::kGetModeButton, T::kSetModeButton, T::kGetFunctionsButton}) {
    b.Window(3).Box(W::kLastResult)->clear();
    b.TmaButton(3, id)->click();
    QCOMPARE(b.BoxText(3, W::kLastResult), QString("Protocol Error"));
    QCOMPARE(CaptionOf(b.TmaButton(3, id)), kRed);
  }
  QCOMPARE(uint64_t{b.link.exchanges}, before);
}

void DevicePagesTest::tmaGainModeAndFunctions() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(3);
  b.Window(3).ChooseSubunit(1);  // subunit 2
  b.Tma(3).Clear();
  b.TmaButton(3, T::kGetFunctionsButton)->click();
  QCOMPARE(b.Tma(3).Box(T::kFlagsBox)->text(), QString("3"));
  QCOMPARE(b.Tma(3).Box(T::kMinGainBox)->text(), QString("4.0"));
  QCOMPARE(b.Tma(3).Box(T::kMaxGainBox)->text(), QString("12.0"));
  QCOMPARE(b.Tma(3).Box(T::kGainResolutionBox)->text(), QString("0.2"));

  b.Tma(3).Box(T::kGainBox)->setText("6.5");
  b.TmaButton(3, T::kSetGainButton)->click();
  QCOMPARE(b.SubunitState(kTmaId, 2)["gain"].get<int>(), 26);
  QCOMPARE(CaptionOf(b.TmaButton(3, T::kSetGainButton)), kBlack);
  b.Tma(3).Box(T::kGainBox)->clear();
  b.TmaButton(3, T::kGetGainButton)->click();
  QCOMPARE(b.Tma(3).Box(T::kGainBox)->text(), QString("6.5"));

  b.Tma(3).Radio(T::kBypassButton)->setChecked(true);
  b.TmaButton(3, T::kSetModeButton)->click();
  QCOMPARE(b.SubunitState(kTmaId, 2)["mode"].get<int>(), 1);
  QCOMPARE(b.SubunitState(kTmaId, 1)["mode"].get<int>(), 0);
  b.Tma(3).Radio(T::kNormalButton)->setChecked(true);
  b.TmaButton(3, T::kGetModeButton)->click();
  QVERIFY(b.Tma(3).Radio(T::kBypassButton)->isChecked());
  QCOMPARE(b.table.Record(3).Subunits[1].Data.TmaModeValid, 1);
  // A TMA in bypass refuses a gain: the button says so, the box empties.
  b.Tma(3).Box(T::kGainBox)->setText("8.0");
  b.TmaButton(3, T::kSetGainButton)->click();
  QCOMPARE(CaptionOf(b.TmaButton(3, T::kSetGainButton)), kRed);
  QCOMPARE(b.BoxText(3, W::kLastError), QString("Bad Gain For Bypass Mode"));
  QCOMPARE(b.Tma(3).Box(T::kGainBox)->text(), QString());
  QCOMPARE(b.SubunitState(kTmaId, 2)["gain"].get<int>(), 26);

  // A subunit that does not answer.
  b.bus.PowerOff(*b.bus.Find(kTmaId));
  b.TmaButton(3, T::kGetGainButton)->click();
  QCOMPARE(b.Tma(3).Box(T::kGainBox)->text(), QString());
  QCOMPARE(b.table.Record(3).Subunits[1].Data.TmaGainValid, 0);
  b.ForgetTrace();
  b.TmaButton(3, T::kGetModeButton)->click();
  QVERIFY(b.TracedLine("ERR", "MAIN", "003", "Failed to get TMA Mode!"));
  QCOMPARE(b.table.Record(3).Subunits[1].Data.TmaModeValid, 0);
  b.TmaButton(3, T::kGetFunctionsButton)->click();
  QCOMPARE(b.Tma(3).Box(T::kFlagsBox)->text(), QString());
}

// The gain must be one the subunit allows (4 to 12 dB in quarters here):
// the octet cut from any other would reach the amplifier as another gain.
void DevicePagesTest::setGainSendsOnlyAllowedGains() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(3);
  b.Window(3).ChooseSubunit(0);
  QLineEdit* box = b.Tma(3).Box(T::kGainBox);
  QPushButton* set = b.TmaButton(3, T::kSetGainButton);
  box->setText("10.5");
  set->click();
  QCOMPARE(b.SubunitState(kTmaId, 1)["gain"].get<int>(), 42);
  // Finer than a quarter dB is cut toward zero, as the gain travels.
  box->setText("10.3");
  set->click();
  QCOMPARE(b.SubunitState(kTmaId, 1)["gain"].get<int>(), 41);
  QCOMPARE(box->text(), QString("10.3"));

  for (const char* refused : {"70", "-1", "2"}) {
    size_t shown = b.messages.Texts().size();
    box->setText(refused);
    set->click();
    QCOMPARE(b.messages.Texts().size(), shown + 1);
    QVERIFY2(b.messages.Texts().back().find("is not allowed") != std::string::npos, b.messages.Texts().back().c_str());
    QCOMPARE(b.SubunitState(kTmaId, 1)["gain"].get<int>(), 41);
  }
  box->setText("abc");
  set->click();
  QCOMPARE(b.messages.Texts().back(), std::string("Invalid Tilt value."));
  QCOMPARE(b.SubunitState(kTmaId, 1)["gain"].get<int>(), 41);
}

void DevicePagesTest::serviceModeFollowsTheTiltBox() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  DeviceWindow& w = b.Window(1);
  QPushButton* set = w.Button(W::kWriteIdentityButton);
  QVERIFY(set->isHidden());
  Type(b.Ret(1).TiltBox(), "QZV");
  QVERIFY(w.ServiceMode());
  QVERIFY(!set->isHidden());
  QVERIFY(set->isEnabled());
  for (int id : {W::kUniqueId, W::kProductNumber, W::kHardwareVersion}) QVERIFY(!w.Box(id)->IsLocked());
  QVERIFY(w.Box(W::kFirmwareVersion)->IsLocked());
  QTest::keyClicks(b.Ret(1).TiltBox(), "X");
  QVERIFY(!w.ServiceMode());
  QVERIFY(set->isHidden());
  QVERIFY(!set->isEnabled());
  for (int id : {W::kUniqueId, W::kProductNumber, W::kHardwareVersion}) QVERIFY(w.Box(id)->IsLocked());
  Type(b.Ret(1).TiltBox(), "qzv");
  QVERIFY(!w.ServiceMode());
}

void DevicePagesTest::writeIdentityChecksTheLengths() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(1);
  DeviceWindow& w = b.Window(1);
  Type(b.Ret(1).TiltBox(), "QZV");
  uint64_t before = b.link.exchanges;
  size_t index = *b.bus.Find(kSingle);
  w.Box(W::kUniqueId)->setText("0000801234567890");  // 16
  w.Box(W::kProductNumber)->setText("PN-000000000001");
  w.Button(W::kWriteIdentityButton)->click();
  QCOMPARE(b.messages.Texts().back(), std::string("Serial Number should be 17 characters long. Set not allowed"));
  w.Box(W::kUniqueId)->setText("00008012345678901");    // 17
  w.Box(W::kProductNumber)->setText("PN-00000000001");  // 14
  w.Button(W::kWriteIdentityButton)->click();
  QCOMPARE(b.messages.Texts().back(), std::string("Product Number should be 15 characters long. Set not allowed"));
  QCOMPARE(uint64_t{b.link.exchanges}, before);
  QCOMPARE(b.DeviceStateAt(index)["serialNumber"].get<std::string>(), std::string(""));

  w.Box(W::kProductNumber)->setText("PN-000000000001");  // 15
  w.Box(W::kHardwareVersion)->setText("HW 9");
  w.Button(W::kWriteIdentityButton)->click();
  json device = b.DeviceStateAt(index);
  QCOMPARE(device["serialNumber"].get<std::string>(), std::string("00008012345678901"));
  QCOMPARE(device["productNumber"].get<std::string>(), std::string("PN-000000000001"));
  QCOMPARE(device["hardwareVersion"].get<std::string>(), std::string("HW 9"));
  QCOMPARE(b.table.Record(1).ProductNumber, std::string("PN-000000000001"));
  QCOMPARE(b.BoxText(1, W::kLastResult), QString("Success"));
  // Read back from the device.
  QCOMPARE(b.BoxText(1, W::kProductNumber), QString("PN-000000000001"));
  QCOMPARE(b.BoxText(1, W::kHardwareVersion), QString("HW 9"));
}

void DevicePagesTest::aLostAldKeepsItsRetButtonsOffUntilReconnected() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(1);
  const std::vector<int> buttons = {R::kGetTiltButton,      R::kSetTiltButton, R::kCalibrateButton,
                                    R::kCalibrateAllButton, R::kConfigButton,  R::kFirmwareButton};
  size_t device = *b.bus.Find(kSingle);
  b.bus.PowerOff(device);
  for (int i = 0; i < 6; ++i) b.Poll();
  QTRY_COMPARE(b.BoxText(1, W::kAlarmStatus), QString("Communication Lost"));
  for (int id : buttons) QVERIFY(!b.RetButton(1, id)->isEnabled());
  // The TMA page of the same window is not switched off.
  QVERIFY(b.TmaButton(1, T::kGetGainButton)->isEnabled());
  // A GET TILT that comes anyway (the page refresh) leaves them off.
  b.Ret(1).Refresh();
  for (int id : buttons) QVERIFY(!b.RetButton(1, id)->isEnabled());

  b.bus.PowerOn(device);
  b.station.Engine().Run();
  QTRY_VERIFY(b.RetButton(1, R::kSetTiltButton)->isEnabled());
  for (int id : buttons) QVERIFY(b.RetButton(1, id)->isEnabled());
  QCOMPARE(b.Ret(1).TiltBox()->text(), QString("5.0"));
}

void DevicePagesTest::choosingASubunitReadsItAgain() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(2);
  QComboBox* list = b.Window(2).SubunitList();
  QCOMPARE(list->count(), 3);
  b.Ret(2).TiltBox()->clear();
  b.ForgetTrace();
  list->setCurrentIndex(2);
  emit list->activated(2);
  QCOMPARE(b.table.CurrentAldIndex(), uint8_t{2});
  QCOMPARE(b.table.Record(2).SelectedSubunit.Load(), uint8_t{3});
  QCOMPARE(b.table.CurrentDeviceData(), &b.table.Record(2).Subunits[2].Data);
  QCOMPARE(b.Ret(2).TiltBox()->text(), QString("3.0"));
  QVERIFY(b.TracedLine("INF", "MAIN", "002", "Refreshing ALD"));

  b.Ret(2).TiltBox()->setText("7.5");
  b.RetButton(2, R::kSetTiltButton)->click();
  QCOMPARE(b.SubunitState(kMulti, 3)["tilt"].get<int>(), 75);
  QCOMPARE(b.SubunitState(kMulti, 1)["tilt"].get<int>(), 10);
  QCOMPARE(b.SubunitState(kMulti, 2)["tilt"].get<int>(), 20);
  QCOMPARE(b.table.Record(2).Subunits[2].Data.Tilt, int16_t{75});
}

void DevicePagesTest::clearDisplayEmptiesThePages() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(3);
  QVERIFY(!b.Tma(3).Box(T::kGainBox)->text().isEmpty());
  CaptionColor::Set(b.TmaButton(3, T::kGetGainButton), kRed);
  b.Ret(3).TiltBox()->setText("1.0");
  CaptionColor::Set(b.RetButton(3, R::kCalibrateButton), kRed);
  b.Window(3).Button(W::kClearAllButton)->click();
  QCOMPARE(b.Tma(3).Box(T::kGainBox)->text(), QString());
  QCOMPARE(b.Tma(3).Box(T::kMaxGainBox)->text(), QString());
  QCOMPARE(b.Ret(3).TiltBox()->text(), QString());
  QCOMPARE(CaptionOf(b.TmaButton(3, T::kGetGainButton)), kBlack);
  QCOMPARE(CaptionOf(b.RetButton(3, R::kCalibrateButton)), kBlack);
}

void DevicePagesTest::noCurrentAldOnlyWarns() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.table.SelectAld(AldTable::kNoSelection);
  b.ForgetTrace();
  uint64_t before = b.link.exchanges;
  b.Ret(1).GetTilt();
  b.Ret(1).SetTilt();
  b.Ret(1).Calibrate();
  b.Ret(1).DownloadConfig();
  b.Tma(3).GetGain();
  b.Tma(3).SetMode();
  b.Window(1).WriteIdentity();
  QCOMPARE(uint64_t{b.link.exchanges}, before);
  QCOMPARE(b.TraceCount("You must select a device first!"), size_t{7});
  QCOMPARE(b.choices, 0);
}

// The main window's Reset Bus run inside the calibration's wait: the
// windows go, but the operation still returns into its page, which must
// still be there until it has.
void DevicePagesTest::aBusResetDuringACalibrationEndsQuietly() {
  json site = DeviceWindowsBench::Site({Ret("singleRet", kSingle, {{{"calibrated", false}}})});
  DevicePagesBench b(site);
  b.ScanAndList();
  QPointer<RetOperationPage> page(&b.Ret(1));
  QPointer<QMdiSubWindow> frame(b.windows.Frame(1));
  bool reset = false;
  {
    PumpWatch watch([&] {
      if (reset) return;
      reset = true;
      b.station.Commands().BroadcastReset();
      QCoreApplication::processEvents();
      QVERIFY(!page.isNull());
    });
    page->Button(R::kCalibrateButton)->click();
  }
  QVERIFY(reset);
  QVERIFY(!b.windows.HasWindow(1));
  QCOMPARE(b.table.AldCount(), 0u);
  QTRY_VERIFY(frame.isNull());
}

void DevicePagesTest::aBusResetDuringAFirmwareDownloadEndsQuietly() {
  DevicePagesBench b(Site());
  b.ScanAndList();
  b.windows.Raise(1);
  QPointer<RetOperationPage> page(&b.Ret(1));
  QPointer<QMdiSubWindow> frame(b.windows.Frame(1));
  b.chosen.push_back(b.File("fw.bin", std::vector<uint8_t>(1000, 0x42)));
  int blocks = 0;
  {
    PumpWatch watch([&] {
      if (++blocks != 3) return;
      b.station.Commands().BroadcastReset();
      QCoreApplication::processEvents();
      QVERIFY(!page.isNull());
    });
    page->Button(R::kFirmwareButton)->click();
  }
  QVERIFY(blocks >= 3);
  // The reset device takes no more blocks; nothing was reconnected.
  QVERIFY(b.TracedLine("ERR", "AISG", "001", "Firmware downloading failed!"));
  QCOMPARE(b.DeviceState(kSingle)["downloads"].get<int>(), 0);
  QCOMPARE(b.reconnects, 0);
  QTRY_VERIFY(frame.isNull());
}

QTEST_MAIN(DevicePagesTest)
#include "DevicePagesTest.moc"
