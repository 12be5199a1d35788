#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "DeviceWindowsFixture.h"
#include "ald/AldType.h"
#include "ui/ColorEdit.h"

namespace {

using json = nlohmann::json;
using W = DeviceWindow;

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

// A single RET, a multi RET with three antennas and a TMA with two
// subunits, in slots 1 to 3 after a scan (the scan's order follows the
// identifiers).
json MixedSite() {
  return DeviceWindowsBench::Site({DeviceWindowsBench::Device("singleRet", "AA0000801234567"),
                                   DeviceWindowsBench::Device("multiRet", "BB0000801234568", 3),
                                   DeviceWindowsBench::Device("tma", "CC0000801234569", 2)});
}

QColor CaptionColor(QPushButton* button) {
  return button->palette().color(QPalette::ButtonText);
}

// Runs f on a thread of its own and returns whether f returned without
// the user-interface thread processing a single event meanwhile: this
// thread only waits for the other's promise.
template <class F>
bool ReturnsWithoutGuiThread(F&& f) {
  std::promise<void> done;
  std::future<void> returned = done.get_future();
  std::thread other([&] {
    f();
    done.set_value();
  });
  bool ok = returned.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  other.join();
  return ok;
}

}  // namespace

class DeviceWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void windowsFollowTheSlotsAndShowWhatTheScanRead();
  void activatingAWindowMakesItsAldCurrent();
  void getInfoFillsTheIdentityBoxes();
  void getAlarmsShowsTheAlarmStatusAndState();
  void anAlarmReadWithoutAnswerDoesNotMarkTheAldAlarmed();
  void operationsWithoutACurrentAldOnlyWarn();
  void subunitsOfAMultiRet();
  void aMultiRetWithoutSubunitsGetsOnlyItsInformation();
  void showResultColoursTheBoxesAndTheButton();
  void selfTestAndGetAllGiveTheirButtonsBack();
  void clearDisplayEmptiesTheBoxes();
  void linkLossFromAnotherThreadReachesTheWindow();
  void loadAldFromAnotherThreadReloadsTheWindow();
  void loadAldKeepsTheCurrentSelection();
  void aLostAldIsShownAndReloadedByTheNextScan();
  void alarmChangesGoToTheActiveWindow();
  void noWindowCanBeClosedByTheUser();
  void aBusResetClosesEveryWindowQuietly();
};

// One window per ALD (one for the multi RET's three rows), titled by slot
// in slot order, each showing its ALD's type and identity.
void DeviceWindowsTest::windowsFollowTheSlotsAndShowWhatTheScanRead() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  QStringList titles;
  for (QMdiSubWindow* frame : b.area.subWindowList()) titles << frame->windowTitle();
  QCOMPARE(titles, QStringList({"ALD #1", "ALD #2", "ALD #3"}));
  QCOMPARE(b.windows.OpenSlots(), std::vector<uint8_t>({1, 2, 3}));
  QVERIFY(b.windows.HasWindow(3));
  QVERIFY(!b.windows.HasWindow(4));
  QCOMPARE(b.view.keys, std::vector<std::string>({"1", "2.1", "2.2", "2.3", "3.1", "3.2"}));

  QCOMPARE(b.Window(1).TypeBox()->title(), QString("RET"));
  QCOMPARE(b.Window(2).TypeBox()->title(), QString("RET"));
  QCOMPARE(b.Window(3).TypeBox()->title(), QString("TMA"));
  for (uint8_t slot = 1; slot <= 3; ++slot) {
    QCOMPARE(b.BoxText(slot, W::kUniqueId), QString::fromStdString(b.table.UniqueIdText(slot)));
    QCOMPARE(b.BoxText(slot, W::kAlarmStatus), QString("None"));
  }
  QCOMPARE(b.BoxText(1, W::kSubunitCount), QString("1"));
  QVERIFY(!b.Window(1).Button(W::kGetSubunitsButton)->isEnabled());
  QCOMPARE(b.BoxText(3, W::kSubunitCount), QString("2"));
  QVERIFY(b.Window(3).Button(W::kGetSubunitsButton)->isEnabled());
  // The last window opened is the active one.
  QVERIFY(b.windows.HasActiveWindow());
  QCOMPARE(b.windows.ActiveWindow(), &b.Window(3));
}

void DeviceWindowsTest::activatingAWindowMakesItsAldCurrent() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  QSignalSpy activated(&b.windows, &DeviceWindowsQt::windowActivated);
  b.area.setActiveSubWindow(b.windows.Frame(2));
  QCOMPARE(activated.count(), 1);
  QCOMPARE(activated.at(0).at(0).value<uint8_t>(), uint8_t{2});
  QCOMPARE(b.table.CurrentAldIndex(), uint8_t{2});
  QCOMPARE(b.windows.ActiveWindow(), &b.Window(2));
  QVERIFY(b.TracedLine("INF", "MAIN", "002", "Activating ALD #2"));

  // The list's way in: a row chosen raises its window.
  b.windows.Raise(1);
  QCOMPARE(activated.count(), 2);
  QCOMPARE(activated.at(1).at(0).value<uint8_t>(), uint8_t{1});
  QCOMPARE(b.table.CurrentAldIndex(), uint8_t{1});
  QCOMPARE(b.area.activeSubWindow(), b.windows.Frame(1));
}

void DeviceWindowsTest::getInfoFillsTheIdentityBoxes() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.windows.Raise(2);
  b.Window(2).ClearDisplay();
  b.windows.GetInfo();
  QCOMPARE(b.BoxText(2, W::kProductNumber), QString("PN-BB0000"));
  QCOMPARE(b.BoxText(2, W::kUniqueId), QString("BB0000801234568"));
  QCOMPARE(b.BoxText(2, W::kFirmwareVersion), QString("SW 3.4.17"));
  QCOMPARE(b.BoxText(2, W::kHardwareVersion), QString("HW 2.1"));
  QCOMPARE(b.BoxText(2, W::kLastResult), QString("Success"));
  QCOMPARE(CaptionColor(b.Window(2).Button(W::kGetInfoButton)), kBlack);
  // Only the active window shows it.
  QCOMPARE(b.BoxText(1, W::kProductNumber), QString("PN-AA0000"));
  b.Window(1).ClearDisplay();
  QCOMPARE(b.BoxText(1, W::kProductNumber), QString());
}

void DeviceWindowsTest::getAlarmsShowsTheAlarmStatusAndState() {
  json site =
      DeviceWindowsBench::Site({DeviceWindowsBench::Device("singleRet", "AA0000801234567", 1, json::array({0x14}))});
  DeviceWindowsBench b(site);
  b.ScanAndList();
  ColorEdit* status = b.Window(1).Box(W::kAlarmStatus);
  QCOMPARE(status->text(), QString("Position Lost"));
  QCOMPARE(status->TextColor(), kRed);
  QCOMPARE(b.table.Record(1).State.Load(), uint8_t{kStateAlarmed});

  b.bus.ClearAlarm(*b.bus.Find("AA0000801234567"), 1, 0x14);
  b.windows.GetAlarms();
  QCOMPARE(status->text(), QString("None"));
  QCOMPARE(status->TextColor(), kBlack);
  QCOMPARE(b.table.Record(1).State.Load(), uint8_t{kStateConnected});
  QCOMPARE(CaptionColor(b.Window(1).Button(W::kGetAlarmsButton)), kBlack);
}

// A device that does not answer says nothing about its alarms: the box
// names the failure, and the ALD is not marked alarmed with a stale code.
void DeviceWindowsTest::anAlarmReadWithoutAnswerDoesNotMarkTheAldAlarmed() {
  DeviceWindowsBench b(DeviceWindowsBench::Site({DeviceWindowsBench::Device("singleRet", "AA0000801234567")}));
  b.ScanAndList();
  b.bus.PowerOff(0);
  b.windows.GetAlarms();
  ColorEdit* status = b.Window(1).Box(W::kAlarmStatus);
  QCOMPARE(status->text(), QString("Timeout"));
  QCOMPARE(status->TextColor(), kRed);
  QCOMPARE(b.table.Record(1).State.Load(), uint8_t{kStateConnected});
  QCOMPARE(b.BoxText(1, W::kLastError), QString("Timeout"));
}

void DeviceWindowsTest::operationsWithoutACurrentAldOnlyWarn() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.ForgetTrace();
  b.table.SelectAld(AldTable::kNoSelection);
  uint64_t before = b.link.exchanges;
  b.windows.GetInfo();
  b.windows.GetAlarms();
  b.windows.GetSubunits();
  b.windows.RefreshAld();
  b.windows.RefreshAllSubunits();
  b.windows.ResetDevice();
  b.windows.SelfTest();
  b.windows.GetAll();
  b.windows.SubscribeAlarms();
  b.Window(3).LoadAld(3);
  QCOMPARE(uint64_t{b.link.exchanges}, before);
  QCOMPARE(b.TraceCount("You must select a device first!"), size_t{10});
  QVERIFY(b.TracedLine("WRN", "MAIN", "...", "You must select a device first!"));
  QVERIFY(!b.TracedLine("INF", "MAIN", "003", "Refreshing ALD"));
}

void DeviceWindowsTest::subunitsOfAMultiRet() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.windows.Raise(2);
  W& w = b.Window(2);
  QCOMPARE(w.Box(W::kSubunitCount)->text(), QString("3"));
  QCOMPARE(w.SubunitList()->count(), 3);

  // Choosing the third entry works on antenna 3, its data block too, and
  // reads everything again.
  b.ForgetTrace();
  w.ChooseSubunit(2);
  QCOMPARE(b.table.Record(2).SelectedSubunit.Load(), uint8_t{3});
  QCOMPARE(b.table.CurrentSubunit(), &b.table.Record(2).Subunits[2]);
  QCOMPARE(w.SubunitList()->currentIndex(), 2);
  QVERIFY(b.TracedLine("INF", "MAIN", "002", "Refreshing ALD"));
  QCOMPARE(w.Button(W::kGetAllButton)->text(), QString("GET ALL"));
  QVERIFY(w.Button(W::kGetAllButton)->isEnabled());
}

void DeviceWindowsTest::aMultiRetWithoutSubunitsGetsOnlyItsInformation() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.windows.Raise(2);
  b.table.Record(2).SubunitCount = 0;
  b.ForgetTrace();
  b.windows.RefreshAllSubunits();
  QCOMPARE(b.TraceCount("Handling Command:"), size_t{1});
  QCOMPARE(b.TraceCount("Handling Command: 'Get Info'"), size_t{1});
}

// A single RET has no subunit count to ask: Protocol Error, without a
// word on the bus, in red in both result boxes and on the button.
void DeviceWindowsTest::showResultColoursTheBoxesAndTheButton() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.windows.Raise(1);
  W& w = b.Window(1);
  uint64_t before = b.link.exchanges;
  b.windows.GetSubunits();
  QCOMPARE(uint64_t{b.link.exchanges}, before);
  QCOMPARE(w.Box(W::kLastResult)->text(), QString("Protocol Error"));
  QCOMPARE(w.Box(W::kLastError)->text(), QString("Protocol Error"));
  QCOMPARE(w.Box(W::kLastResult)->TextColor(), kRed);
  QCOMPARE(w.Box(W::kLastError)->TextColor(), kRed);
  QCOMPARE(CaptionColor(w.Button(W::kGetSubunitsButton)), kRed);

  // Success turns the last result black and leaves the last error.
  b.windows.GetInfo();
  QCOMPARE(w.Box(W::kLastResult)->text(), QString("Success"));
  QCOMPARE(w.Box(W::kLastResult)->TextColor(), kBlack);
  QCOMPARE(w.Box(W::kLastError)->text(), QString("Protocol Error"));

  // The bus side's form shows a result without a button.
  b.windows.ShowResult(kTimeout);
  QCOMPARE(w.Box(W::kLastResult)->text(), QString("Timeout"));
}

void DeviceWindowsTest::selfTestAndGetAllGiveTheirButtonsBack() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.windows.Raise(1);
  W& w = b.Window(1);
  b.windows.SelfTest();
  QCOMPARE(w.Button(W::kSelfTestButton)->text(), QString("SELF TEST"));
  QVERIFY(w.Button(W::kSelfTestButton)->isEnabled());
  QCOMPARE(w.Box(W::kLastResult)->text(), QString("Success"));

  // A pulled adapter ends the operation with its exception, and the
  // button is given back all the same.
  b.link.unplugged = true;
  bool thrown = false;
  try {
    b.windows.GetAll();
  } catch (const ECommError&) {
    thrown = true;
  }
  QVERIFY(thrown);
  QCOMPARE(w.Button(W::kGetAllButton)->text(), QString("GET ALL"));
  QVERIFY(w.Button(W::kGetAllButton)->isEnabled());

  // Started from the window's own button, the failure is reported there.
  w.Button(W::kGetInfoButton)->click();
  QCOMPARE(b.messages.Texts().size(), size_t{1});
}

void DeviceWindowsTest::clearDisplayEmptiesTheBoxes() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.windows.Raise(1);
  W& w = b.Window(1);
  b.windows.GetSubunits();
  b.windows.ShowAlarmText("Position Lost");
  b.windows.ClearDisplay();
  for (int id : {W::kUniqueId, W::kProductNumber, W::kFirmwareVersion, W::kHardwareVersion, W::kAlarmStatus,
                 W::kAlarmText, W::kLastResult, W::kLastError}) {
    QVERIFY2(w.Box(id)->text().isEmpty(), qPrintable(QString::number(id)));
  }
  QCOMPARE(CaptionColor(w.Button(W::kGetSubunitsButton)), kBlack);
  // Another window keeps what it shows.
  QVERIFY(!b.BoxText(2, W::kUniqueId).isEmpty());

  b.windows.ShowAlarmStatus("Position Lost", true);
  b.windows.ShowAlarmText("Position Lost");
  b.windows.ClearAlarmBoxes();
  QVERIFY(w.Box(W::kAlarmStatus)->text().isEmpty());
  QVERIFY(w.Box(W::kAlarmText)->text().isEmpty());
  QCOMPARE(w.Box(W::kAlarmStatus)->TextColor(), kBlack);
}

// The link layer reports a loss on whatever thread polled: the call hands
// the display to the user-interface thread and returns at once.
void DeviceWindowsTest::linkLossFromAnotherThreadReachesTheWindow() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  W& w = b.Window(2);
  QVERIFY(w.CommandsEnabled());
  QVERIFY(ReturnsWithoutGuiThread([&] { b.windows.ShowLinkLost(2); }));
  QCOMPARE(w.Box(W::kAlarmStatus)->text(), QString("None"));  // not yet: queued
  QTRY_COMPARE(w.Box(W::kAlarmStatus)->text(), QString("Communication Lost"));
  QCOMPARE(w.Box(W::kAlarmStatus)->TextColor(), kRed);
  QVERIFY(!w.CommandsEnabled());
  QVERIFY(b.Window(1).CommandsEnabled());
  QCOMPARE(b.BoxText(1, W::kAlarmStatus), QString("None"));
  // A slot without a window is no fault.
  QVERIFY(ReturnsWithoutGuiThread([&] { b.windows.ShowLinkLost(9); }));
  QCoreApplication::processEvents();
}

void DeviceWindowsTest::loadAldFromAnotherThreadReloadsTheWindow() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  W& w = b.Window(3);
  b.windows.ShowLinkLost(3);
  w.ClearDisplay();
  bool seenFromThere = false;
  QVERIFY(ReturnsWithoutGuiThread([&] {
    seenFromThere = b.windows.HasWindow(3);
    b.windows.LoadAld(3);
    b.windows.EnableCommands(3, true);
  }));
  QVERIFY(seenFromThere);
  QVERIFY(w.Box(W::kUniqueId)->text().isEmpty());  // not yet: queued
  QTRY_VERIFY(w.CommandsEnabled());
  QCOMPARE(w.Box(W::kUniqueId)->text(), QString("CC0000801234569"));
  QCOMPARE(w.Box(W::kProductNumber)->text(), QString("PN-CC0000"));
  QCOMPARE(w.Box(W::kAlarmStatus)->text(), QString("None"));
  QVERIFY(b.TracedLine("INF", "MAIN", "003", "Refreshing ALD"));
}

// The reload of a reconnected ALD reads that ALD, all its subunits, and
// leaves the technician's selection where it was.
void DeviceWindowsTest::loadAldKeepsTheCurrentSelection() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.windows.Raise(3);
  b.table.SelectSubunit(1);
  b.table.Record(2).SelectedSubunit = 1;
  b.Window(2).ClearDisplay();
  b.windows.LoadAld(2);
  QCOMPARE(b.table.CurrentAldIndex(), uint8_t{3});
  QCOMPARE(b.table.Record(3).SelectedSubunit.Load(), uint8_t{1});
  QCOMPARE(b.table.CurrentSubunit(), &b.table.Record(3).Subunits[0]);
  QCOMPARE(b.table.Record(2).SelectedSubunit.Load(), uint8_t{3});
  QCOMPARE(b.BoxText(2, W::kUniqueId), QString("BB0000801234568"));
  QCOMPARE(b.BoxText(2, W::kAlarmStatus), QString("None"));
}

// Polls that go unanswered declare the ALD lost; its window says so and
// its commands stay off until the next scan's reconnect pass, on the
// worker thread, brings it back.
void DeviceWindowsTest::aLostAldIsShownAndReloadedByTheNextScan() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.windows.Raise(1);
  size_t device = *b.bus.Find("AA0000801234567");
  b.bus.PowerOff(device);
  for (int i = 0; i < 6; ++i) b.Poll();
  QCOMPARE(b.table.Record(1).State.Load(), uint8_t{kStateDisconnected});
  QTRY_COMPARE(b.BoxText(1, W::kAlarmStatus), QString("Communication Lost"));
  QVERIFY(!b.Window(1).CommandsEnabled());

  b.bus.PowerOn(device);
  b.Window(1).ClearDisplay();
  QVERIFY(ReturnsWithoutGuiThread([&] { b.station.Engine().Run(); }));
  QCOMPARE(b.table.Record(1).State.Load(), uint8_t{kStateConnected});
  QTRY_VERIFY(b.Window(1).CommandsEnabled());
  QCOMPARE(b.BoxText(1, W::kAlarmStatus), QString("None"));
  QCOMPARE(b.BoxText(1, W::kUniqueId), QString("AA0000801234567"));
}

void DeviceWindowsTest::alarmChangesGoToTheActiveWindow() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.windows.Raise(1);
  b.windows.SubscribeAlarms();
  QCOMPARE(b.BoxText(1, W::kLastResult), QString("Success"));
  b.bus.RaiseAlarm(*b.bus.Find("AA0000801234567"), 1, 0x14);
  b.Poll();
  QTRY_COMPARE(b.BoxText(1, W::kAlarmText), QString("Position Lost"));
  QCOMPARE(b.Window(1).Box(W::kAlarmText)->TextColor(), kRed);
  QVERIFY(b.BoxText(2, W::kAlarmText).isEmpty());

  // The poll may report from the worker thread.
  b.windows.Raise(2);
  QVERIFY(ReturnsWithoutGuiThread([&] { b.windows.ShowAlarmText("Actuator Jam Permanent"); }));
  QTRY_COMPARE(b.BoxText(2, W::kAlarmText), QString("Actuator Jam Permanent"));
  QCOMPARE(b.BoxText(1, W::kAlarmText), QString("Position Lost"));
}

void DeviceWindowsTest::noWindowCanBeClosedByTheUser() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  for (QMdiSubWindow* frame : b.area.subWindowList()) {
    // The styles draw the title bar's close button with the window menu.
    QVERIFY(!(frame->windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(frame->windowFlags() & Qt::WindowSystemMenuHint));
    for (QAction* action : frame->systemMenu()->actions()) {
      QVERIFY2(action->text().remove('&') != "Close", qPrintable(frame->windowTitle()));
    }
    QVERIFY(!frame->close());
  }
  b.area.setActiveSubWindow(b.windows.Frame(2));
  QTest::keyClick(b.windows.Frame(2)->widget(), Qt::Key_F4, Qt::ControlModifier);
  b.area.closeActiveSubWindow();
  b.area.closeAllSubWindows();
  b.area.setTabsClosable(true);
  b.windows.Frame(1)->close();
  QCoreApplication::processEvents();
  QCOMPARE(b.area.subWindowList().size(), 3);
  for (QMdiSubWindow* frame : b.area.subWindowList()) QVERIFY(!frame->isHidden());
  QCOMPARE(b.windows.OpenSlots(), std::vector<uint8_t>({1, 2, 3}));
}

// The bus reset closes the windows without any of them becoming active on
// the way, and the next scan numbers them from 1 again.
void DeviceWindowsTest::aBusResetClosesEveryWindowQuietly() {
  DeviceWindowsBench b(MixedSite());
  b.ScanAndList();
  b.ForgetTrace();
  QSignalSpy activated(&b.windows, &DeviceWindowsQt::windowActivated);
  b.windows.CloseAll();
  QCOMPARE(activated.count(), 0);
  QVERIFY(!b.windows.HasActiveWindow());
  QVERIFY(!b.windows.HasWindow(1));
  QVERIFY(b.windows.OpenSlots().empty());
  QVERIFY(b.area.subWindowList().isEmpty());
  QCOMPARE(b.TraceCount("Activating"), size_t{0});
  // Nothing reaches a window that is gone.
  b.windows.GetAlarms();
  b.windows.ShowLinkLost(1);
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  b.windows.OpenWindow(1);
  QCOMPARE(b.area.subWindowList().size(), 1);
  QCOMPARE(b.area.subWindowList().at(0)->windowTitle(), QString("ALD #1"));
}

QTEST_MAIN(DeviceWindowsTest)
#include "DeviceWindowsTest.moc"
