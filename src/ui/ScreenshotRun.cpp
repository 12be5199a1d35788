#include "ui/ScreenshotRun.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/BusStation.h"
#include "persist/Settings.h"
#include "ui/DeviceWindow.h"
#include "ui/DeviceWindowsQt.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/RetOperationPage.h"

namespace {

constexpr int kCheckMs = 250;
// A scan of a few ALDs at 9600 baud takes seconds; a site of many, minutes.
constexpr int kMaxChecks = 4 * 60 * 5;

}  // namespace

ScreenshotRun::ScreenshotRun(MainWindow& window, PortInventory& ports, QString folder, size_t expectedAlds,
                             QObject* parent)
    : QObject(parent),
      window_(window),
      ports_(ports),
      folder_(std::move(folder)),
      expected_(expectedAlds),
      timer_(new QTimer(this)) {
  timer_->setInterval(kCheckMs);
  connect(timer_, &QTimer::timeout, this, &ScreenshotRun::Check);
}

void ScreenshotRun::Start() {
  QDir().mkpath(folder_);
  window_.StartScan();
  timer_->start();
}

// The rows are in once the scan has ended and the tick has listed them;
// the device windows then read their ALDs, which the trace shows settle.
void ScreenshotRun::Check() {
  BusStation& station = window_.Station();
  bool listed = station.List().ListedAldCount() >= expected_ && station.Control().ScanRequested() == 0;
  if (!listed && ++checks_ < kMaxChecks) return;
  timer_->stop();
  QTimer::singleShot(1500, this, &ScreenshotRun::Grab);
}

void ScreenshotRun::Grab() {
  bool ok = Save(window_, QStringLiteral("main-window.png"));
  OptionsDialog dialog(
      window_.Options(), ports_, [] {}, &window_);
  dialog.show();
  ok = Save(dialog, QStringLiteral("options-dialog.png")) && ok;
  dialog.close();
  ok = GrabDeviceWindows() && ok;
  succeeded_ = ok;
  QApplication::exit(ok ? 0 : 1);
}

// One window of each kind the site has, its ALD as the scan read it (the
// single RET calibrated); then that RET's window during a firmware
// download.
bool ScreenshotRun::GrabDeviceWindows() {
  DeviceWindowsQt& windows = *window_.Windows();
  const AldTable& table = windows.Table();
  struct Kind {
    uint8_t Type;
    const char* File;
  };
  static const Kind kKinds[] = {
      {kAldSingleRet, "device-single-ret.png"}, {kAldMultiRet, "device-multi-ret.png"}, {kAldTma, "device-tma.png"}};
  bool ok = true;
  uint8_t firstRet = 0;
  for (const Kind& kind : kKinds) {
    for (uint8_t slot : windows.OpenSlots()) {
      if (table.Record(slot).DeviceType != kind.Type) continue;
      windows.Raise(slot);
      // A RET fresh on the mast is calibrated first, as a technician does.
      if (kind.Type == kAldSingleRet) {
        firstRet = slot;
        windows.Window(slot)->RetPage()->Calibrate();
      }
      ok = Save(window_, QString::fromLatin1(kind.File)) && ok;
      break;
    }
  }
  if (firstRet != 0) ok = GrabDownload(firstRet) && ok;
  return ok;
}

// A made-up image of 8 KiB, grabbed a few seconds into its transfer.
bool ScreenshotRun::GrabDownload(uint8_t slot) {
  QTemporaryDir dir;
  QString path = dir.filePath(QStringLiteral("firmware.bin"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(QByteArray(8192, '\x5A'));
  file.close();
  DeviceWindowsQt& windows = *window_.Windows();
  DeviceWindowHooks saved = windows.Hooks();
  windows.Hooks().ChooseFile = [path]() -> std::optional<std::string> { return path.toStdString(); };
  windows.Hooks().AfterFirmware = nullptr;
  windows.Raise(slot);
  bool ok = false;
  QTimer::singleShot(4000, this, [this, &ok] { ok = Save(window_, QStringLiteral("device-download.png")); });
  windows.Window(slot)->RetPage()->DownloadFirmware();
  windows.Hooks() = saved;
  return ok;
}

bool ScreenshotRun::Save(QWidget& widget, const QString& name) {
  QApplication::processEvents();
  return widget.grab().save(QDir(folder_).filePath(name));
}
