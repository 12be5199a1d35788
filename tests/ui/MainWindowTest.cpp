#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPalette>
#include <QTableView>
#include <QToolBar>
#include <QtTest>
#include <map>
#include <set>

#include "DeniedPort.h"
#include "MainWindowFixture.h"
#include "PcapngRead.h"
#include "PtyPair.h"
#include "ald/AldType.h"
#include "bus/BusStation.h"
#include "sim/VirtualBus.h"
#include "ui/AldListPane.h"
#include "ui/AppLook.h"
#include "ui/DemoBus.h"
#include "ui/DeviceWindowsQt.h"
#include "ui/PropertiesPane.h"
#include "ui/StartupOptions.h"

namespace {

constexpr const char* kNoPort = "/dev/tiltdeck-no-such-port";

bool Holds(QToolBar* bar, QAction* action) {
  return bar->actions().contains(action);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // The first line, then the adapter search of the link, then the port.
  void startUpTracesInOrder() {
    PtyPair line;
    MainWindowRig rig(line.SlavePath());
    MainWindow& w = rig.Open();
    size_t started = rig.Position("INF");
    QVERIFY(rig.Trace().rfind("INF ", 0) == 0);
    QVERIFY(rig.Trace().find(" MAIN ... Tiltdeck started") < rig.Trace().find('\n'));
    size_t search = rig.Position(" COMM ... Searching for COM ports...");
    size_t opening = rig.Position(" COMM ... Opening com port '" + line.SlavePath() + "'");
    size_t opened = rig.Position(" MAIN ... Successfully opened and configured com port");
    QVERIFY(started < search);
    QVERIFY(search != std::string::npos && opening != std::string::npos && opened != std::string::npos);
    QVERIFY(search < opening);
    QVERIFY(opening < opened);
    QVERIFY(!rig.Traced("Unable to open com port"));
    QVERIFY(w.PortOpen());
    QTRY_VERIFY(w.Station().Worker().Started());  // set by the worker as it runs
    QCOMPARE(w.windowTitle(), QStringLiteral("Tiltdeck"));
    QVERIFY(!rig.Traced("Start Scan"));  // nothing scans until the user asks
    QAction* start = rig.Action(MainWindow::kCmdStartScan);
    QVERIFY(start->isEnabled());
    for (int command : {512, 513, 514, 5062}) QVERIFY(Holds(w.ControlToolBar(), rig.Action(command)));
  }

  // Every command of the window is an action carrying its id.
  void commandsCarryTheirIds() {
    MainWindowRig rig(kNoPort);
    MainWindow& w = rig.Open();
    const int commands[] = {57665, 501,  502,  503,  504,  5001, 5002, 5003, 5004, 5005, 5006, 5007,  5008,
                            5009,  5010, 5016, 5020, 5021, 5060, 5051, 5052, 5054, 5053, 505,  57664, 512,
                            513,   514,  529,  5050, 5062, 5037, 5038, 5039, 5040, 5041, 5000, 500,   531};
    for (int command : commands) {
      QAction* action = w.Action(command);
      QVERIFY2(action != nullptr, qPrintable(QString::number(command)));
      QCOMPARE(action->data().toInt(), command);
      QCOMPARE(action->objectName(), QStringLiteral("cmd%1").arg(command));
    }
    QCOMPARE(w.Action(513)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
    QCOMPARE(w.Action(513)->toolTip(), QStringLiteral("Start the aisg scan"));
    QCOMPARE(w.Action(512)->toolTip(), QStringLiteral("Reset the aisg bus"));
    QCOMPARE(w.Action(5062)->toolTip(), QStringLiteral("Save ALD Report"));
    QCOMPARE(w.Action(503)->toolTip(), QStringLiteral("Show/Hide the ALD's List"));
    QCOMPARE(w.Action(57665)->text(), QStringLiteral("E&xit"));
    QCOMPARE(w.Action(5006)->text(), QStringLiteral("Visual Studio 200&8"));
    QCOMPARE(w.Action(5020)->text(), QStringLiteral("GET"));
    QVERIFY(!w.Action(531)->isEnabled());
    bool f6 = false, shiftF6 = false;
    for (QAction* a : w.actions()) {
      f6 |= a->shortcut() == QKeySequence(Qt::Key_F6);
      shiftF6 |= a->shortcut() == QKeySequence(Qt::SHIFT | Qt::Key_F6);
    }
    QVERIFY(f6 && shiftF6);
    auto* standard = w.findChild<QToolBar*>(QStringLiteral("Standard"));
    auto* aldList = w.findChild<QToolBar*>(QStringLiteral("ALD List"));
    QVERIFY(standard && aldList);
    QVERIFY(standard->isHidden());
    QVERIFY(aldList->isHidden() && !aldList->isEnabled());
    QVERIFY(Holds(standard, w.Action(529)) && Holds(standard, w.Action(57664)));
  }

  void portFailureClosesTheControlToolbar() {
    MainWindowRig rig(kNoPort);
    MainWindow& w = rig.Open();
    QVERIFY(rig.TracedAt("ERR", "Unable to open com port"));
    QVERIFY(!rig.Traced("Successfully opened"));
    QVERIFY(!w.PortOpen());
    QAction* start = rig.Action(MainWindow::kCmdStartScan);
    QVERIFY(!Holds(w.ControlToolBar(), start));
    QVERIFY(!start->isEnabled());
    QCOMPARE(w.ControlToolBar()->actions().size(), 4);
    for (int i = 0; i < 3; ++i) QVERIFY(!w.ControlToolBar()->actions()[i]->isEnabled());
    QVERIFY(Holds(w.ControlToolBar(), rig.Action(MainWindow::kCmdSaveReport)));
    start->trigger();
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F5, Qt::ControlModifier);
    QVERIFY(!rig.Traced("Start Scan"));
    QCOMPARE(w.Station().Control().ScanRequested(), 0);
  }

  // A port another program holds, or one the user may not open, was only
  // "Unable to open com port": the next trace line and the status bar now
  // name the port and say why (and which group to join), until a port opens.
  void portFailureTheUserCanMendIsNamed() {
    PtyPair line;
    int other = open(line.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(other >= 0);
    QCOMPARE(flock(other, LOCK_EX | LOCK_NB), 0);
    MainWindowRig rig(line.SlavePath());
    MainWindow& w = rig.Open();
    QVERIFY(!w.PortOpen());
    std::string busy = "cannot open " + line.SlavePath() + ": in use by another program";
    QVERIFY(rig.TracedAt("ERR", "Unable to open com port"));
    QVERIFY(rig.TracedAt("ERR", busy));
    QCOMPARE(w.StatusPane()->text().toStdString(), busy);
    close(other);
    rig.settings->ComPort = line.SlavePath();
    QVERIFY(rig.settings->Save());
    QVERIFY(w.PortOpen());
    QCOMPARE(w.StatusPane()->text(), QString());

    DeniedPort denied(line.SlavePath());
    if (!denied.Ready()) QSKIP("cannot refuse a terminal here (no dialout group or no user nobody)");
    bool reopened = true;
    {
      DeniedPort::Refused asUser(denied);
      reopened = w.ReopenPort();
    }
    QVERIFY(!reopened);
    std::string refused = "cannot open " + line.SlavePath() + ": permission denied";
    if (denied.Dialout()) refused += " (join the group 'dialout': sudo usermod -aG dialout $USER, then log in again)";
    QVERIFY(rig.TracedAt("ERR", refused));
    QCOMPARE(w.StatusPane()->text().toStdString(), refused);
    QCOMPARE(rig.Count("Unable to open com port"), size_t{2});
  }

  // Detect Port and a changed port go through the reopen, which reports
  // like start-up and switches the toolbar's form.
  void reopenSwitchesTheToolbar() {
    PtyPair line;
    MainWindowRig rig(kNoPort);
    MainWindow& w = rig.Open();
    QVERIFY(!w.PortOpen());
    rig.settings->ComPort = line.SlavePath();
    QVERIFY(rig.settings->Save());  // a changed port is opened at once
    QVERIFY(w.PortOpen());
    QVERIFY(rig.Traced("Successfully opened and configured com port"));
    QVERIFY(Holds(w.ControlToolBar(), rig.Action(MainWindow::kCmdStartScan)));
    QVERIFY(rig.Action(MainWindow::kCmdStartScan)->isEnabled());
    rig.settings->ComPort = kNoPort;
    QVERIFY(!w.ReopenPort());
    QCOMPARE(rig.Count("Unable to open com port"), size_t{2});
    QVERIFY(!Holds(w.ControlToolBar(), rig.Action(MainWindow::kCmdStartScan)));
  }

  // A port given for this run is opened but never stored.
  void portForThisRunIsNotSaved() {
    PtyPair line;
    MainWindowRig rig(line.SlavePath(), "/dev/ttyUSB7");
    MainWindow& w = rig.Open();
    QVERIFY(w.PortOpen());
    QCOMPARE(rig.settings->ComPort, std::string("/dev/ttyUSB7"));
    rig.settings->Save();
    QCOMPARE(rig.store.ReadString("ComPort", ""), std::string("/dev/ttyUSB7"));
  }

  void startScanTwiceAndStopScan() {
    PtyPair line;  // nobody answers: the scan goes on until stopped
    MainWindowRig rig(line.SlavePath());
    MainWindow& w = rig.Open();
    rig.Trigger(MainWindow::kCmdStopScan);
    QVERIFY(rig.TracedAt("WRN", "Scan is not running"));
    QVERIFY(!rig.Traced("Stop Scan"));
    rig.Trigger(MainWindow::kCmdStartScan);
    rig.Trigger(MainWindow::kCmdStartScan);
    QVERIFY(rig.TracedAt("INF", "Start Scan"));
    QVERIFY(rig.TracedAt("WRN", "Scan is already running"));
    QVERIFY(rig.Position("Start Scan") < rig.Position("Scan is already running"));
    QTRY_VERIFY_WITH_TIMEOUT(w.Station().Engine().IsRunning(), 10000);
    QTRY_VERIFY(rig.view.LastStatus() == "Scan in progress");
    QCOMPARE(w.StatusPane()->text(), QStringLiteral("Scan in progress"));
    rig.Trigger(MainWindow::kCmdStopScan);
    QVERIFY(rig.TracedAt("INF", "Stop Scan"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.Traced("Scan stopped"), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Station().Engine().IsRunning(), 20000);
    QCOMPARE(w.Station().Control().ScanRequested(), 0);
    QTRY_COMPARE(w.StatusPane()->text(), QString());
    QVERIFY(rig.Position("Stop Scan") < rig.Position("Scan stopped"));
  }

  void applicationLookIsSavedAndComesBack() {
    MainWindowRig rig(kNoPort);
    MainWindow& w = rig.Open();
    QCOMPARE(w.ApplicationLook(), 5006);
    QVERIFY(w.Action(5006)->isChecked());
    QVERIFY(!AppLook::IsDark(5006));
    rig.Trigger(5008);
    QCOMPARE(rig.store.ReadInt("ApplicationLook", 0), 5008);
    QVERIFY(w.Action(5008)->isChecked());
    QVERIFY(!w.Action(5006)->isChecked());
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 128);
    rig.Close();
    MainWindow& again = rig.Open();
    QCOMPARE(again.ApplicationLook(), 5008);
    QVERIFY(again.Action(5008)->isChecked());
    rig.Trigger(5006);
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() >= 128);
  }

  void layoutIsSavedAndRestored() {
    MainWindowRig rig(kNoPort);
    MainWindow& w = rig.Open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(rig.Action(MainWindow::kCmdOutput)->isChecked());
    rig.Trigger(MainWindow::kCmdOutput);  // hides the output pane
    QVERIFY(!rig.Action(MainWindow::kCmdOutput)->isChecked());
    rig.Close();
    QVERIFY(rig.layoutStore.Contains("WindowState"));
    MainWindow& again = rig.Open();
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QVERIFY(!rig.Action(MainWindow::kCmdOutput)->isChecked());
    QVERIFY(rig.Action(MainWindow::kCmdAldList)->isChecked());
  }

  void layoutIsNotSavedAfterRestoreDefault() {
    MainWindowRig rig(kNoPort);
    rig.Open().show();
    rig.settings->RestoreDefaults();
    rig.Close();
    QVERIFY(!rig.layoutStore.Contains("WindowState"));
    QVERIFY(!rig.layoutStore.Contains("WindowGeometry"));
  }

  // The whole road on the demo site served over a pseudo-terminal: the
  // scan, the rows of every ALD (three for the three antennas of the multi
  // RET), the row clicks, and an ALD lost while polled.
  void demoSiteScanListsEveryAldAndShowsALoss() {
    DemoBus demo;
    std::string error;
    QVERIFY2(demo.Start("", &error), error.c_str());
    MainWindowRig rig(demo.PortPath());
    rig.simulated = demo.Description();
    MainWindow& w = rig.Open(5);
    QVERIFY(w.windowTitle().contains(QStringLiteral("SIMULATED")));
    auto* label = w.findChild<QLabel*>(QStringLiteral("simulatedBus"));
    QVERIFY(label && label->text().contains(QStringLiteral("SIMULATED")));
    QVERIFY(w.PortOpen());
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F5, Qt::ControlModifier);
    QVERIFY(rig.Traced("Start Scan"));
    AldListModel& list = w.Station().List();
    QTRY_VERIFY_WITH_TIMEOUT(list.ListedAldCount() == 5 && w.Station().Control().ScanRequested() == 0, 180000);
    QCOMPARE(rig.table.AldCount(), 5u);
    QCOMPARE(rig.Count("Adding ALD"), size_t{5});
    QCOMPARE(rig.view.keys.size(), list.RowCount());

    std::map<uint8_t, std::vector<std::string>> keys;
    for (size_t row = 0; row < list.RowCount(); ++row) {
      QCOMPARE(rig.view.keys[row], list.RowKey(row));
      QCOMPARE(rig.view.contents[row].Key, list.RowKey(row));
      keys[list.RowAt(row).Slot].push_back(list.RowKey(row));
    }
    int singles = 0;
    for (const auto& [slot, rowKeys] : keys) {
      const AldRecord& ald = rig.table.Record(slot);
      // The device window reads the alarms as it opens: a demo RET that
      // is not calibrated reports so and reads as alarmed.
      QVERIFY2(ald.State == kStateConnected || ald.State == kStateAlarmed, std::to_string(ald.State).c_str());
      QVERIFY(rig.view.shown.count(slot) == 1);
      QCOMPARE(rig.view.properties[slot].UniqueId, rig.table.UniqueIdText(slot));
      std::string n = std::to_string(slot);
      if (ald.DeviceType == kAldSingleRet) {
        ++singles;
        QCOMPARE(rowKeys, std::vector<std::string>{n});
      } else if (ald.DeviceType == kAldMultiRet) {
        QCOMPARE(rowKeys, (std::vector<std::string>{n + ".1", n + ".2", n + ".3"}));
      } else {
        QCOMPARE(ald.DeviceType, uint8_t{kAldTma});
        QCOMPARE(rowKeys, (std::vector<std::string>{n + ".1", n + ".2"}));
      }
    }
    QCOMPARE(singles, 3);
    // The tilts the device windows read show in the list rows.
    int tiltsRead = 0;
    for (size_t row = 0; row < list.RowCount(); ++row) {
      const AldRecord& ald = rig.table.Record(list.RowAt(row).Slot);
      uint8_t subunit = list.RowAt(row).Subunit;
      size_t element = subunit == 0 ? 0 : subunit - 1;
      if (ald.DeviceType != kAldMultiRet || !ald.Subunits[element].Data.TiltValid) continue;
      ++tiltsRead;  // the demo's multi RET has calibrated antennas
      QCOMPARE(rig.view.contents[row].Tilt, AldListModel::TiltText(ald, subunit));
      QVERIFY(rig.view.contents[row].Tilt != "ERROR");
    }
    QVERIFY(tiltsRead > 0);
    QVERIFY(rig.view.documentRefreshes >= 1);
    QVERIFY(rig.view.activations >= 1);
    std::vector<std::string> status = rig.view.status;
    QVERIFY(std::find(status.begin(), status.end(), "Scan Started") != status.end());
    QCOMPARE(w.StatusPane()->text(), QString());

    // A row clicked or a selector entry chosen makes its ALD current.
    auto* listPane = w.findChild<AldListPane*>(QStringLiteral("ALD LIST"));
    QVERIFY(listPane);
    emit listPane->slotClicked(2);
    QCOMPARE(rig.table.CurrentAldIndex(), uint8_t{2});
    auto* properties = w.findChild<PropertiesPane*>();
    QVERIFY(properties);
    emit properties->slotChosen(4);
    QCOMPARE(rig.table.CurrentAldIndex(), uint8_t{4});

    // Bringing up the window of slot 2 makes slot 2 current and selects
    // its first row and its selector entry, whatever the row positions.
    w.Windows()->Raise(2);
    QTRY_COMPARE(rig.table.CurrentAldIndex(), uint8_t{2});
    QTRY_COMPARE(listPane->View()->selectionModel()->selectedRows().size(), 1);
    int selectedRow = listPane->View()->selectionModel()->selectedRows().front().row();
    QString key = listPane->View()->model()->index(selectedRow, 0).data().toString();
    QCOMPARE(key, QString::fromStdString(list.RowKey(static_cast<size_t>(list.FirstRowOf(2)))));
    auto* selector = properties->findChild<QComboBox*>();
    QVERIFY(selector);
    QCOMPARE(selector->currentText(), QStringLiteral("ALD #2"));

    // The ALD in slot 1 goes quiet: the poll declares it lost, and its row
    // and properties say so.
    auto device = demo.Bus().Find(rig.table.UniqueIdText(1));
    QVERIFY(device.has_value());
    QVERIFY(demo.Bus().PowerOff(*device));
    QTRY_VERIFY_WITH_TIMEOUT(rig.Traced("Communication Lost"), 60000);
    QTRY_VERIFY(rig.view.contents[0].Icon == 3);
    QCOMPARE(rig.table.Record(1).State, uint8_t{kStateDisconnected});
    QVERIFY(rig.view.properties[1].Status.find("DISCONNECTED") != std::string::npos);
    QVERIFY(rig.messages.Texts().empty());
  }

  // A capture started from the window records what goes over the line
  // until it is stopped; a cancelled choice starts nothing, and a file
  // that cannot be made is reported and leaves the command off.
  void captureRecordsTheBusTrafficFromTheWindow() {
    DemoBus demo;
    std::string error;
    QVERIFY2(demo.Start("", &error), error.c_str());
    MainWindowRig rig(demo.PortPath());
    rig.Open();
    QAction* capture = rig.Action(MainWindow::kCmdCapture);
    rig.files.answer = rig.dir.File("bus.pcapng");
    capture->trigger();
    QVERIFY(capture->isChecked());
    rig.Trigger(MainWindow::kCmdBroadcastReset);
    capture->trigger();
    QVERIFY(!capture->isChecked());
    PcapngContents file = ReadPcapng(ReadFile(rig.dir.File("bus.pcapng")));
    QVERIFY(file.Valid);
    QVERIFY(!file.Packets.empty());
    // The reset is sent by the primary: outbound.
    QCOMPARE(file.Packets.front().Flags & 3u, 2u);
    QVERIFY(rig.Traced("Capture stopped"));

    rig.files.answer.reset();
    capture->trigger();
    QVERIFY(!capture->isChecked());
    QVERIFY(rig.messages.Texts().empty());

    rig.files.answer = rig.dir.File("no-such-folder/bus.pcapng");
    capture->trigger();
    QVERIFY(!capture->isChecked());
    QCOMPARE(rig.messages.Texts().size(), size_t{1});
    QVERIFY(rig.messages.Texts().front().find("Cannot capture to") == 0);
  }

  void startupOptions() {
    std::string error;
    auto demo = StartupOptions::Parse({"--demo"}, &error);
    QVERIFY(demo && demo->Demo && demo->DemoSite.empty());
    auto site = StartupOptions::Parse({"--demo", "sim/sites/site16.json"}, &error);
    QVERIFY(site && site->Demo && site->DemoSite == "sim/sites/site16.json");
    auto port = StartupOptions::Parse({"--port", "/dev/ttyUSB1"}, &error);
    QVERIFY(port && !port->Demo && port->Port == "/dev/ttyUSB1");
    auto help = StartupOptions::Parse({"-h"}, &error);
    QVERIFY(help && help->Help);
    QVERIFY(!StartupOptions::Parse({"--port"}, &error));
    QVERIFY(!StartupOptions::Parse({"--port", "--demo"}, &error));
    QVERIFY(!StartupOptions::Parse({"--demo", "--port", "/dev/ttyUSB1"}, &error));
    QVERIFY(!StartupOptions::Parse({"--frobnicate"}, &error));
    QVERIFY(error.find("--frobnicate") != std::string::npos);
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
