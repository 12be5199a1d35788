#include "ui/ScreenshotRun.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include "bus/BusStation.h"
#include "persist/Settings.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"

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
  succeeded_ = ok;
  QApplication::exit(ok ? 0 : 1);
}

bool ScreenshotRun::Save(QWidget& widget, const QString& name) {
  QApplication::processEvents();
  return widget.grab().save(QDir(folder_).filePath(name));
}
