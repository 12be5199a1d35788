#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <vector>

#include "DeviceWindowsFixture.h"
#include "FakePortInventory.h"
#include "ald/AldType.h"
#include "core/MessagePump.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "ui/OptionsDialog.h"
#include "ui/ProcedureProgress.h"

namespace {

using json = nlohmann::json;

const std::string kRet = "AA0000801234567";

// A single RET whose calibration takes a minute of device time, and a TMA.
json Site() {
  json ret = DeviceWindowsBench::Device("singleRet", kRet);
  ret["timing"] = {{"calibrationMs", 60000}};
  return DeviceWindowsBench::Site({ret, DeviceWindowsBench::Device("tma", "CC0000801234569", 2)});
}

std::vector<uint8_t> Image(size_t size) {
  std::vector<uint8_t> image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7);
  return image;
}

// What the windows would do inside the procedure's waits: the command
// given runs once, from the pump, after the given number of pumps.
class NestedCommand {
 public:
  NestedCommand(int afterPumps, std::function<void()> command) : after_(afterPumps), command_(std::move(command)) {
    SetPumpMessagesHook([this] {
      if (++pumps_ == after_) {
        command_();
        ran = true;
      }
      QCoreApplication::processEvents();
    });
  }
  ~NestedCommand() { SetPumpMessagesHook(nullptr); }
  bool ran = false;

 private:
  int after_;
  int pumps_ = 0;
  std::function<void()> command_;
};

// Everything the progress strip was asked to show.
class ProgressSeen : public ProgressListener {
 public:
  explicit ProgressSeen(ProcedureProgress& strip) : strip_(strip) {}
  void OnProgress(const ProgressReport& report) override {
    reports.push_back(report);
    strip_.OnProgress(report);
    if (strip_.Active()) texts.push_back(strip_.Text());
  }
  std::vector<ProgressReport> reports;
  QStringList texts;

 private:
  ProcedureProgress& strip_;
};

}  // namespace

class LongProcedureTest : public QObject {
  Q_OBJECT

 private slots:
  void aCalibrationShowsItsTimeAgainstItsTimeOut();
  void aDownloadShowsBlocksRateAndTimeLeft();
  void aBusResetDuringACalibration();
  void aBusResetDuringAFirmwareDownload();
  void detectPortDuringACalibrationAndADownload();
};

void LongProcedureTest::aCalibrationShowsItsTimeAgainstItsTimeOut() {
  DeviceWindowsBench b(Site());
  b.ScanAndList();
  ProcedureProgress strip;
  ProgressSeen seen(strip);
  b.layer7.SetProgressListener(&seen);
  QCOMPARE(b.layer7.RetCalibrate(1), kSuccess);
  b.layer7.SetProgressListener(nullptr);
  QVERIFY(seen.texts.size() >= 50);
  QCOMPARE(seen.texts.front(), QString("ALD 1 Single Ret Calibrate: 0 s of 3 min 00 s"));
  QVERIFY2(seen.texts.contains("ALD 1 Single Ret Calibrate: 59 s of 3 min 00 s"), qPrintable(seen.texts.back()));
  QVERIFY(!strip.Active());
  bool calibrated = false;
  b.bus.WithDevice(*b.bus.Find(kRet), [&](SimAld& d) { calibrated = d.Subunits()[0].Calibrated; });
  QVERIFY(calibrated);
}

void LongProcedureTest::aDownloadShowsBlocksRateAndTimeLeft() {
  ProcedureProgress strip;
  ProgressReport r{ProgressReport::Kind::kBlocks, 4, 0x41};
  r.Total = 924;
  r.TotalOctets = 65536;
  strip.Show(r);
  QCOMPARE(strip.Text(), QString("ALD 4 download: block 0 of 924"));
  r.Done = 100;
  r.Octets = 7100;
  r.ElapsedMs = 10000;
  strip.Show(r);
  QCOMPARE(strip.Text(), QString("ALD 4 download: block 100 of 924, 710 octets/s, 1 min 23 s left"));
  QCOMPARE(strip.Value(), 100);
  QCOMPARE(strip.Maximum(), 924);
  // The block's own wait neither replaces nor ends the download's strip.
  ProgressReport wait{ProgressReport::Kind::kWait, 4, 0x41};
  wait.TimeoutMs = 10000;
  strip.Show(wait);
  wait.Ended = true;
  strip.Show(wait);
  QVERIFY(strip.Active());
  r.Ended = true;
  strip.Show(r);
  QVERIFY(!strip.Active());
}

// The reset comes from a command run inside the calibration's wait: the
// calibration ends with a failure, the strip goes, the table is empty, and
// a new scan finds the device and calibrates it.
void LongProcedureTest::aBusResetDuringACalibration() {
  DeviceWindowsBench b(Site());
  b.ScanAndList();
  ProcedureProgress strip;
  strip.Attach(b.layer7);
  ResultCode r = kSuccess;
  {
    NestedCommand reset(40, [&] { b.station.Commands().BroadcastReset(); });
    r = b.layer7.RetCalibrate(1);
    QVERIFY(reset.ran);
  }
  QVERIFY(r != kSuccess);
  QVERIFY(!strip.Active());
  QCOMPARE(b.table.AldCount(), 0u);
  QCOMPARE(b.station.List().RowCount(), 0);
  QVERIFY(!b.table.Record(1).Busy);
  b.ScanAndList();
  QCOMPARE(b.table.AldCount(), 2u);
  // The reset does not stop the motors: the device ends its calibration
  // first.
  b.clock.Advance(60000);
  QCOMPARE(b.layer7.RetCalibrate(1), kSuccess);
}

void LongProcedureTest::aBusResetDuringAFirmwareDownload() {
  DeviceWindowsBench b(Site());
  b.ScanAndList();
  ProcedureProgress strip;
  strip.Attach(b.layer7);
  std::vector<uint8_t> image = Image(64 * 1024);
  ResultCode r = kSuccess;
  {
    NestedCommand reset(300, [&] { b.station.Commands().BroadcastReset(); });
    r = b.layer7.TransferFirmware(1, image.data(), image.size());
    QVERIFY(reset.ran);
  }
  QVERIFY(r != kSuccess);
  QVERIFY(b.TracedLine("ERR", "AISG", "001", "Firmware downloading failed!"));
  QVERIFY(!strip.Active());
  QCOMPARE(b.table.AldCount(), 0u);
  uint32_t downloads = 1;
  b.bus.WithDevice(*b.bus.Find(kRet), [&](SimAld& d) { downloads = d.Downloads(); });
  QCOMPARE(downloads, 0u);
  b.ScanAndList();
  QCOMPARE(b.table.AldCount(), 2u);
  QCOMPARE(b.layer7.TransferFirmware(1, image.data(), 710), kSuccess);
}

// Detect Port finds an adapter and reopens the port from inside the wait;
// the procedure goes on to its end.
void LongProcedureTest::detectPortDuringACalibrationAndADownload() {
  DeviceWindowsBench b(Site());
  b.ScanAndList();
  MemoryProfileStore store;
  Settings settings(store, b.log);
  FakePortInventory ports;
  ports.Add("FT232R USB UART (/dev/ttyUSB7)", "FTDI");
  ports.ports = {"/dev/ttyUSB7"};
  int reopened = 0;
  OptionsDialog dialog(settings, b.log, ports, [&] { ++reopened; });
  auto* detect = qobject_cast<QPushButton*>(dialog.Control(1317));
  QVERIFY(detect);
  ProcedureProgress strip;
  strip.Attach(b.layer7);
  {
    NestedCommand click(20, [&] { detect->click(); });
    QCOMPARE(b.layer7.RetCalibrate(1), kSuccess);
    QVERIFY(click.ran);
  }
  std::vector<uint8_t> image = Image(64 * 1024);
  {
    NestedCommand click(200, [&] { detect->click(); });
    QCOMPARE(b.layer7.TransferFirmware(1, image.data(), image.size()), kSuccess);
    QVERIFY(click.ran);
  }
  QCOMPARE(reopened, 2);
  QCOMPARE(settings.ComPort, std::string("/dev/ttyUSB7"));
  QVERIFY(!strip.Active());
  uint32_t octets = 0;
  b.bus.WithDevice(*b.bus.Find(kRet), [&](SimAld& d) { octets = d.LastDownloadOctets(); });
  QCOMPARE(octets, 64u * 1024u);
}

QTEST_MAIN(LongProcedureTest)
#include "LongProcedureTest.moc"
