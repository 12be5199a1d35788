// What the main window's commands do: each is forwarded to the bus side or
// to a pane, and none lets a failure out of its handler.
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QInputDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "ald/AldTable.h"
#include "bus/BusStation.h"
#include "persist/AldListFile.h"
#include "persist/Settings.h"
#include "ui/AccessibleNames.h"
#include "ui/AldListPane.h"
#include "ui/AppLook.h"
#include "ui/DeviceWindowsQt.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/PropertiesPane.h"
#include "ui/QtFileChooser.h"

namespace {

constexpr const char* kWebPage = "https://www.aisg.org.uk/";
constexpr const char* kVersion = "5.16.0";
constexpr const char* kBuildDate = "Apr 27 2018";
constexpr const char* kBuildTime = "09:17:22";

}  // namespace

void MainWindow::OnCommand(int command, const std::function<void()>& handler) {
  QAction* action = Action(command);
  QString activity = action->text().remove(QLatin1Char('&'));
  connect(action, &QAction::triggered, this, [this, handler, activity] {
    std::string what = activity.toStdString();
    Guarded(what.c_str(), handler);
  });
}

void MainWindow::ConnectCommands() {
  BusStation& s = *station_;
  OnCommand(kCmdExit, [this] { close(); });
  OnCommand(kCmdOptions, [this] { RunOptions(); });
  OnCommand(kCmdSubscribeAlarms, [&s] { s.AldOps().SubscribeAlarmsSelected(); });
  OnCommand(kCmdGetAlarms, [&s] { s.AldOps().GetAlarmsSelected(); });
  OnCommand(kCmdClearAlarms, [&s] { s.AldOps().ClearAlarmsSelected(); });
  OnCommand(kCmdReconnect, [&s] { s.Commands().ReconnectSelected(); });
  OnCommand(kCmdSoftwareReset, [&s] { s.AldOps().SoftwareResetSelected(); });
  OnCommand(kCmdGetAll, [&s] { s.AldOps().GetAllSelected(); });
  OnCommand(kCmdClearAll, [&s] { s.AldOps().ClearAllSelected(); });
  OnCommand(kCmdSelfTest, [&s] { s.AldOps().SelfTestSelected(); });
  OnCommand(kCmdWebpage, [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebPage))); });
  OnCommand(kCmdAbout, [this] { ShowAbout(); });
  OnCommand(kCmdBroadcastReset, [&s] { s.Commands().BroadcastReset(); });
  OnCommand(kCmdStartScan, [this] { StartScan(); });
  OnCommand(kCmdStopScan, [this] { StopScan(); });
  for (int command : {kCmdSaveList, kCmdSaveListAlt, kCmdSaveReport}) OnCommand(command, [this] { SaveAldList(); });
  OnCommand(kCmdAssign, [&s] { s.Commands().AssignSelected(); });
  OnCommand(kCmdVersion, [&s] { s.Commands().VersionSelected(); });
  OnCommand(kCmdConnect, [&s] { s.Commands().ConnectSelected(); });
  OnCommand(kCmdDisconnect, [&s] { s.Commands().DisconnectSelected(); });
  OnCommand(kCmdPollAll, [&s] { s.Ticker().RequestPoll(); });
  OnCommand(kCmdWindows, [this] { ShowWindowList(); });
  connect(Action(kCmdCapture), &QAction::triggered, this, [this](bool on) { ToggleCapture(on); });
  OnCommand(kCmdCustomize, [this] {
    QMenu* menu = createPopupMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(QCursor::pos());
  });
}

// A row, a selector entry and a device window all name a slot; choosing
// one makes its ALD current and brings its window up, whose activation
// then marks the row and the entry.
void MainWindow::ConnectPanes() {
  connect(list_, &AldListPane::slotClicked, this, [this](uint8_t slot) { SelectAndRaise(slot); });
  connect(properties_, &PropertiesPane::slotChosen, this, [this](uint8_t slot) { SelectAndRaise(slot); });
  connect(windows_, &DeviceWindowsQt::windowActivated, this, [this](uint8_t slot) {
    list_->SelectSlot(slot);
    properties_->SelectWindowEntry(slot);
  });
  connect(properties_, &PropertiesPane::refreshAldRequested, this,
          [this] { Guarded("refreshing the ALD", [this] { windows_->RefreshAld(); }); });
}

void MainWindow::SelectAndRaise(uint8_t slot) {
  table_->SelectAld(slot);
  windows_->Raise(slot);
}

void MainWindow::StartScan() {
  station_->Control().StartScan();
}

void MainWindow::StopScan() {
  station_->Control().StopScan();
}

// Detect Port and a changed port reopen through ReopenPort.
void MainWindow::RunOptions() {
  OptionsDialog dialog(
      *settings_, env_.Ports, [this] { ReopenPort(); }, this);
  dialog.exec();
  if (dialog.DefaultsRestored()) settings_->DefaultsRestored = 1;
  if (dialog.FieldSelectionChanged()) {
    list_->SetColumns(static_cast<uint32_t>(settings_->AldListFields.Load()));
    settings_->FieldsChanged = 0;
  }
}

void MainWindow::ShowAbout() {
  QDialog box(this);
  box.setWindowTitle(QStringLiteral("About Tiltdeck"));
  auto* layout = new QVBoxLayout(&box);
  auto* picture = new QLabel(&box);
  picture->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
  layout->addWidget(picture, 0, Qt::AlignHCenter);
  for (const QString& line : {QStringLiteral("SW VERSION: ") + kVersion, QStringLiteral("BUILD DATE: ") + kBuildDate,
                              QStringLiteral("BUILD TIME: ") + kBuildTime}) {
    layout->addWidget(new QLabel(line, &box));
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
  connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  layout->addWidget(buttons);
  AccessibleNames::Apply(&box);
  box.exec();
}

void MainWindow::SetApplicationLook(int look) {
  if (!AppLook::IsLook(look)) return;
  look_ = look;
  if (QAction* action = Action(look)) action->setChecked(true);
  AppLook::Apply(look);
  update();
  settings_->WriteApplicationLook(look);
}

void MainWindow::SaveAldList() {
  QtFileChooser chooser(this);
  ::SaveAldList(*table_, *settings_, chooser, env_.Log);
}

void MainWindow::ShowWindowList() {
  QList<QMdiSubWindow*> windows = mdi_->subWindowList();
  if (windows.isEmpty()) return;
  QStringList titles;
  for (QMdiSubWindow* w : windows) titles << w->windowTitle();
  bool chosen = false;
  QString title = QInputDialog::getItem(this, QStringLiteral("Windows"), QStringLiteral("Select window:"), titles, 0,
                                        false, &chosen);
  if (!chosen) return;
  int index = static_cast<int>(titles.indexOf(title));
  if (index >= 0) mdi_->setActiveSubWindow(windows[index]);
}

// Round the visible panes and the document area, as F6 does.
void MainWindow::MovePaneFocus(bool forward) {
  QList<QWidget*> stops;
  for (QDockWidget* dock : {listDock_, propertiesDock_, outputDock_}) {
    if (dock->isVisible()) stops << dock->widget();
  }
  stops << mdi_;
  int at = -1;
  for (int i = 0; i < stops.size(); ++i) {
    if (stops[i]->isAncestorOf(QApplication::focusWidget()) || stops[i] == QApplication::focusWidget()) at = i;
  }
  auto n = static_cast<int>(stops.size());
  int next = at < 0 ? (forward ? 0 : n - 1) : (at + (forward ? 1 : n - 1)) % n;
  QWidget* target = stops[next];
  if (target == mdi_ && mdi_->activeSubWindow()) {
    mdi_->activeSubWindow()->setFocus();
  } else {
    target->setFocus(Qt::ShortcutFocusReason);
  }
}
