#include <QAction>
#include <QMetaObject>
#include <QString>
#include <optional>
#include <string>

#include "bus/UserMessages.h"
#include "capture/BusCapture.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "ui/MainWindow.h"
#include "ui/QtFileChooser.h"

void MainWindow::ToggleCapture(bool on) {
  BusCapture& capture = layer7_->Link().Capture();
  QAction* action = Action(kCmdCapture);
  if (!on) {
    capture.Stop();
    env_.Log.Write(kTraceInfo, TraceClass::kMain, 0, "Capture stopped");
    return;
  }
  QtFileChooser dialog(this);
  FileChooser& files = env_.Files ? *env_.Files : dialog;
  std::optional<std::string> path = files.ChooseSaveFile("pcapng", {"Wireshark capture (*.pcapng)"});
  if (!path) {
    action->setChecked(false);
    return;
  }
  std::string error;
  // A write failure is met on whichever thread moved the frame; the window
  // hears of it on its own thread.
  auto report = [this](const std::string& message) {
    QString text = QString::fromStdString(message);
    QMetaObject::invokeMethod(
        this, [this, text] { CaptureFailed(text); }, Qt::QueuedConnection);
  };
  if (!capture.Start(*path, &error, report)) {
    action->setChecked(false);
    env_.Messages.ShowMessage("", "Cannot capture to " + *path + ": " + error, UserMessages::Icon::kError);
    return;
  }
  env_.Log.Write(kTraceInfo, TraceClass::kMain, 0, "Capturing the bus traffic to %s", path->c_str());
}

// The capture has stopped itself and traced why; the bus work goes on.
void MainWindow::CaptureFailed(const QString& message) {
  Action(kCmdCapture)->setChecked(false);
  env_.Messages.ShowMessage("", message.toStdString(), UserMessages::Icon::kError);
}
