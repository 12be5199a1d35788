// The options dialog over the settings: the port list, Detect Port with its
// reopen, Apply, OK, Restore Default and the field selection.
#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "FakePortInventory.h"
#include "PtyPair.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "core/MessageBox.h"
#include "core/TraceLog.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "serial/AisgSerial.h"
#include "serial/DetectPort.h"
#include "ui/FieldSelectionModel.h"
#include "ui/OptionsDialog.h"

namespace {

constexpr int kPortList = 1301;
constexpr int kBaudRate = 1302;
constexpr int kFieldSelector = 1308;
constexpr int kTracePoll = 1320;
constexpr int kScanRepeatMode = 1312;
constexpr int kComPortAutoDetect = 1314;
constexpr int kFastExchanges = 1322;
constexpr int kApply = 1315;
constexpr int kCancel = 1316;
constexpr int kDetectPort = 1317;
constexpr int kRestoreDefault = 1318;
constexpr int kOk = 1;

QStringList Entries(QComboBox* box) {
  QStringList entries;
  for (int i = 0; i < box->count(); ++i) entries << box->itemText(i);
  return entries;
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private:
  TempDir dir_;
  std::unique_ptr<TraceLog> log_;
  std::unique_ptr<AldTable> table_;
  std::unique_ptr<MemoryProfileStore> store_;
  std::unique_ptr<Settings> settings_;
  std::unique_ptr<AisgSerial> serial_;
  FakePortInventory inventory_;
  std::vector<std::string> messages_;
  int reopens_ = 0;

  std::unique_ptr<OptionsDialog> Open() {
    auto reopen = [this] {
      ++reopens_;
      serial_->Close();
      serial_->SetPortName(settings_->ComPort);
      serial_->Open();
    };
    auto dialog = std::make_unique<OptionsDialog>(*settings_, *log_, inventory_, reopen);
    dialog->show();
    return dialog;
  }

  static QComboBox* PortList(OptionsDialog& dialog) { return qobject_cast<QComboBox*>(dialog.Control(kPortList)); }
  static void Press(OptionsDialog& dialog, int id) {
    auto* button = qobject_cast<QPushButton*>(dialog.Control(id));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
  }
  static QCheckBox* Flag(OptionsDialog& dialog, int id) { return qobject_cast<QCheckBox*>(dialog.Control(id)); }

  // Toggles a field's mark as a keyboard user does.
  static void ToggleField(OptionsDialog& dialog, int field) {
    auto* list = qobject_cast<QListView*>(dialog.Control(kFieldSelector));
    list->setCurrentIndex(list->model()->index(field, 0));
    QTest::keyClick(list->viewport(), Qt::Key_Space);
  }

 private slots:
  void init() {
    log_ = std::make_unique<TraceLog>(dir_.File("trace.txt"));
    table_ = std::make_unique<AldTable>(*log_);
    store_ = std::make_unique<MemoryProfileStore>();
    settings_ = std::make_unique<Settings>(*store_, *log_);
    serial_ = std::make_unique<AisgSerial>(*log_, *table_);
    inventory_ = FakePortInventory();
    messages_.clear();
    reopens_ = 0;
    AisgSerial::SetDetectedPort("");
    SetMessageBoxHook([this](const std::string& text) { messages_.push_back(text); });
  }

  void cleanup() {
    SetMessageBoxHook(nullptr);
    serial_->Close();
    serial_.reset();
    settings_.reset();
    store_.reset();
    table_.reset();
    log_.reset();
    AisgSerial::SetDetectedPort("");
  }

  void OpeningSelectsTheConfiguredPort() {
    inventory_.ports = {"/dev/ttyS0", "/dev/ttyUSB3"};
    settings_->ComPort = "/dev/ttyUSB3";
    auto dialog = Open();
    QCOMPARE(dialog->windowTitle(), QString("Application Options"));
    QCOMPARE(Entries(PortList(*dialog)), QStringList({"/dev/ttyS0", "/dev/ttyUSB3"}));
    QCOMPARE(PortList(*dialog)->currentText(), QString("/dev/ttyUSB3"));
    auto* baud = qobject_cast<QLineEdit*>(dialog->Control(kBaudRate));
    QCOMPARE(baud->text(), QString("9600"));
    QVERIFY(!baud->isEnabled());
  }

  // A port name that starts another's must not select that other, or OK
  // would move the program to the wrong port.
  void PortIsFoundByItsWholeName() {
    inventory_.ports = {"/dev/ttyUSB10", "/dev/ttyUSB1"};
    settings_->ComPort = "/dev/ttyUSB1";
    auto dialog = Open();
    QCOMPARE(PortList(*dialog)->currentText(), QString("/dev/ttyUSB1"));
    Press(*dialog, kOk);
    QCOMPARE(store_->ReadString("ComPort", ""), std::string("/dev/ttyUSB1"));
  }

  // A port the system does not report now (given for this run, or an
  // adapter unplugged) is listed first and kept by OK.
  void UnreportedPortIsKept() {
    inventory_.ports = {"/dev/ttyS0"};
    settings_->ComPort = "/dev/ttyUSB0";
    auto dialog = Open();
    QCOMPARE(Entries(PortList(*dialog)), QStringList({"/dev/ttyUSB0", "/dev/ttyS0"}));
    QCOMPARE(PortList(*dialog)->currentText(), QString("/dev/ttyUSB0"));
    Press(*dialog, kOk);
    QCOMPARE(settings_->ComPort, std::string("/dev/ttyUSB0"));
  }

  void DetectPortWhileOpenOnlySaysSo() {
    PtyPair pty;
    serial_->SetPortName(pty.SlavePath());
    serial_->Open();
    QVERIFY(AisgSerial::IsOpen());
    inventory_.Add("FT232R USB UART (/dev/ttyUSB5)", "FTDI");
    settings_->ComPort = pty.SlavePath();
    auto dialog = Open();
    QStringList before = Entries(PortList(*dialog));
    Press(*dialog, kDetectPort);
    QCOMPARE(messages_, std::vector<std::string>({DetectPortOutcome::kAlreadyOpen}));
    QCOMPARE(reopens_, 0);
    QCOMPARE(inventory_.queries, 0);
    QCOMPARE(Entries(PortList(*dialog)), before);
    QCOMPARE(settings_->ComPort, pty.SlavePath());
  }

  // The adapter is found on a pseudo-terminal standing in for it: it is added
  // at the end of the list and selected, the port is reopened on it, and OK
  // saves it.
  void DetectPortTakesTheAdapterAndReopens() {
    PtyPair pty;
    inventory_.ports = {"/dev/ttyS0"};
    inventory_.Add("ttyS0", "(Standard port types)");
    inventory_.Add("FT232R USB UART (" + pty.SlavePath() + ")", "FTDI");
    settings_->ComPort = "/dev/ttyS0";
    auto dialog = Open();
    Press(*dialog, kDetectPort);
    QCOMPARE(reopens_, 1);
    QVERIFY(AisgSerial::IsOpen());
    QCOMPARE(serial_->PortName(), pty.SlavePath());
    QCOMPARE(messages_, std::vector<std::string>({DetectPortOutcome::kReopened}));
    QComboBox* ports = PortList(*dialog);
    QCOMPARE(ports->itemText(ports->count() - 1), QString::fromStdString(pty.SlavePath()));
    QCOMPARE(ports->currentIndex(), ports->count() - 1);
    Press(*dialog, kOk);
    QCOMPARE(store_->ReadString("ComPort", ""), pty.SlavePath());
  }

  // A reopen that fails is not confirmed as a success.
  void DetectPortReportsAFailedReopen() {
    inventory_.Add("FT232R USB UART (/dev/tiltdeck-no-such-port)", "FTDI");
    auto dialog = Open();
    Press(*dialog, kDetectPort);
    QCOMPARE(reopens_, 1);
    QVERIFY(!AisgSerial::IsOpen());
    QCOMPARE(messages_, std::vector<std::string>({DetectPortOutcome::kReopenFailed}));
  }

  void DetectPortWithoutAdapterShowsNoneFound() {
    inventory_.ports = {"/dev/ttyS0"};
    inventory_.Add("ttyS0", "(Standard port types)");
    auto dialog = Open();
    QStringList before = Entries(PortList(*dialog));
    auto* button = qobject_cast<QPushButton*>(dialog->Control(kDetectPort));
    Press(*dialog, kDetectPort);
    QCOMPARE(button->text(), QString("NONE FOUND.."));
    QVERIFY(!button->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(button->text(), QString("Detect Port"), 3000);
    QVERIFY(button->isEnabled());
    QVERIFY(messages_.empty());
    QCOMPARE(reopens_, 0);
    QCOMPARE(Entries(PortList(*dialog)), before);
  }

  void ApplySavesRenamesCancelAndAsksForARestart() {
    inventory_.ports = {"/dev/ttyS0"};
    settings_->ComPort = "/dev/ttyS0";
    settings_->ScanRepeatMode = 0;
    auto dialog = Open();
    Flag(*dialog, kTracePoll)->click();
    Press(*dialog, kApply);
    QCOMPARE(qobject_cast<QPushButton*>(dialog->Control(kCancel))->text(), QString("Close"));
    QCOMPARE(messages_, std::vector<std::string>({OptionsDialog::kRestartText}));
    QVERIFY(dialog->isVisible());
    QCOMPARE(store_->ReadInt("TraceAisgPolling", 1), 0);
    QVERIFY(log_->IsClassSuppressed("POLL"));
    // A setting the dialog does not show passes through unchanged.
    QCOMPARE(store_->ReadInt("ScanRepeatMode", 1), 0);
    size_t writes = store_->Writes().size();
    Press(*dialog, kOk);
    QVERIFY(store_->Writes().size() > writes);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
  }

  // Unticking the box stores the setting and hands the exact timing to
  // the link at once.
  void FastExchangesBoxSwitchesTheLinkTiming() {
    std::vector<bool> fast;
    settings_->SetExchangeTimingSink([&fast](bool on, uint32_t) { fast.push_back(on); });
    auto dialog = Open();
    QCheckBox* box = Flag(*dialog, kFastExchanges);
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QVERIFY(box->isChecked());
    box->click();
    Press(*dialog, kApply);
    QCOMPARE(store_->ReadInt("FastExchanges", 1), 0);
    QCOMPARE(fast, std::vector<bool>({true, false}));
    settings_->SetExchangeTimingSink(nullptr);
  }

  void OkStoresTheFixedBaudRate() {
    settings_->SerialBaudrate = 19200;
    auto dialog = Open();
    Press(*dialog, kOk);
    QCOMPARE(settings_->SerialBaudrate.Load(), 9600);
    QCOMPARE(store_->ReadInt("SerialBaudrate", 0), 9600);
  }

  void CancelTakesNothing() {
    settings_->SerialBaudrate = 19200;
    auto dialog = Open();
    Flag(*dialog, kTracePoll)->click();
    ToggleField(*dialog, 13);
    Press(*dialog, kCancel);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(settings_->SerialBaudrate.Load(), 19200);
    QCOMPARE(settings_->TraceAisgPolling.Load(), 1);
    QCOMPARE(settings_->AldListFields.Load(), 0xFFFF);
    QVERIFY(!dialog->FieldSelectionChanged());
    QCOMPARE(store_->KeyCount(), size_t{0});
  }

  void RestoreDefaultDeletesTheSectionAndStopsLaterSaves() {
    store_->WriteString("ComPort", "/dev/ttyUSB7");
    store_->WriteInt("EnablePolling", 0);
    auto dialog = Open();
    QVERIFY(!dialog->DefaultsRestored());
    Press(*dialog, kRestoreDefault);
    QCOMPARE(store_->KeyCount(), size_t{0});
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(!dialog->isVisible());
    QVERIFY(dialog->DefaultsRestored());
    QCOMPARE(messages_, std::vector<std::string>({OptionsDialog::kRestartDefaultsText}));

    // The next opening in the same run: Apply still asks for a restart but
    // writes nothing, and the window layout stays unsaved.
    messages_.clear();
    auto again = Open();
    QVERIFY(again->DefaultsRestored());
    size_t writes = store_->Writes().size();
    Press(*again, kApply);
    QCOMPARE(messages_, std::vector<std::string>({OptionsDialog::kRestartText}));
    Press(*again, kOk);
    QCOMPARE(store_->Writes().size(), writes);
    QCOMPARE(store_->KeyCount(), size_t{0});
  }

  void FieldSelectionRebuildsAldListFields() {
    auto dialog = Open();
    FieldSelectionModel* fields = dialog->FieldSelection();
    QAbstractItemModelTester tester(fields, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(fields->rowCount(), 16);
    QCOMPARE(fields->index(0, 0).data().toString(), QString(" 0: ALD [DISABLED]"));
    QCOMPARE(fields->index(13, 0).data().toString(), QString("13: Ret Tilt"));
    QCOMPARE(fields->index(15, 0).data().toString(), QString("15: Tma Gain"));
    for (int field = 0; field < 16; ++field) ToggleField(*dialog, field);
    // Entry 0 keeps its mark; every other one lost it.
    QCOMPARE(fields->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(fields->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    ToggleField(*dialog, 13);
    Press(*dialog, kOk);
    QCOMPARE(settings_->AldListFields.Load(), 0x2001);
    QCOMPARE(store_->ReadInt("AldListFields", 0), 0x2001);
    QVERIFY(dialog->FieldSelectionChanged());

    auto unchanged = Open();
    QCOMPARE(unchanged->FieldSelection()->index(13, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(unchanged->FieldSelection()->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    Press(*unchanged, kOk);
    QVERIFY(!unchanged->FieldSelectionChanged());
  }

  void AutoDetectTickSelectsTheDetectedPort() {
    inventory_.ports = {"/dev/ttyS0", "/dev/ttyUSB2"};
    settings_->ComPort = "/dev/ttyS0";
    settings_->ComPortAutoDetection = 0;
    AisgSerial::SetDetectedPort("/dev/ttyUSB2");
    auto dialog = Open();
    QCOMPARE(PortList(*dialog)->currentText(), QString("/dev/ttyS0"));
    Flag(*dialog, kComPortAutoDetect)->click();
    QCOMPARE(PortList(*dialog)->currentText(), QString("/dev/ttyUSB2"));
    QCOMPARE(Entries(PortList(*dialog)), QStringList({"/dev/ttyS0", "/dev/ttyUSB2"}));
    Press(*dialog, kOk);
    QCOMPARE(settings_->ComPort, std::string("/dev/ttyUSB2"));
    QCOMPARE(settings_->ComPortAutoDetection.Load(), 1);
    QVERIFY(Flag(*dialog, kScanRepeatMode)->isHidden());
  }
};

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
