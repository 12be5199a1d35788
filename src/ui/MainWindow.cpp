#include "ui/MainWindow.h"

#include <QAction>
#include <QByteArray>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QLabel>
#include <QMdiArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <exception>

#include "ald/AldTable.h"
#include "bus/AldSetup.h"
#include "bus/BusStation.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "persist/ProfileStore.h"
#include "persist/Settings.h"
#include "serial/ECommError.h"
#include "serial/PortDiagnosis.h"
#include "serial/PortStartup.h"
#include "ui/AccessibleNames.h"
#include "ui/AldListPane.h"
#include "ui/AppLook.h"
#include "ui/DeviceWindow.h"
#include "ui/DeviceWindowsQt.h"
#include "ui/LinkLossForwarder.h"
#include "ui/OutputPane.h"
#include "ui/ProcedureProgress.h"
#include "ui/PropertiesPane.h"

namespace {

constexpr const char* kWindowStateKey = "WindowState";
constexpr const char* kWindowGeometryKey = "WindowGeometry";
// Bumped when the panes or toolbars change, so an older layout is not
// forced onto them.
constexpr int kLayoutVersion = 1;

}  // namespace

MainWindow::MainWindow(Environment environment, QWidget* parent) : QMainWindow(parent), env_(std::move(environment)) {
  MakeBus();
  look_ = settings_->ReadApplicationLook();
  if (!AppLook::IsLook(look_)) look_ = AppLook::kDefault;
  timer_ = new QTimer(this);
  timer_->setInterval(env_.TimerIntervalMs);
  connect(timer_, &QTimer::timeout, this, &MainWindow::Tick);
  timer_->start();

  AppLook::Apply(look_);
  QString title = QStringLiteral("Tiltdeck");
  if (!env_.SimulatedBus.empty()) title += QStringLiteral(" - SIMULATED BUS (no real AISG adapter)");
  setWindowTitle(title);
  MakeActions();
  MakeMenus();
  MakeToolBars();
  MakeStatusBar();
  MakeDocks();
  ConnectCommands();
  ConnectPanes();
  resize(1280, 800);
  RestoreLayout();
  OpenPort();
  AccessibleNames::Apply(this);
  station_->Worker().Start();
}

// The link, the settings and the layer-7 object come after the first
// trace line; then the device windows' area and the bus side over them.
void MainWindow::MakeBus() {
  env_.Log.Write(kTraceInfo, TraceClass::kMain, 0, "Tiltdeck started");
  BusParts parts = env_.MakeBus();
  table_ = &parts.Table;
  layer7_ = &parts.Layer7;
  settings_ = &parts.Options;

  mdi_ = new QMdiArea(this);
  mdi_->setViewMode(QMdiArea::TabbedView);
  mdi_->setTabsMovable(true);
  mdi_->setDocumentMode(true);
  setCentralWidget(mdi_);
  windows_ = new DeviceWindowsQt(*mdi_, *layer7_, *table_, env_.Log, env_.Messages, this);
  Settings& settings = *settings_;
  station_ = std::make_unique<BusStation>(
      *layer7_, BusUi{*this, *windows_, env_.Messages}, [&settings] { return settings.CurrentScanOptions(); },
      [&settings] { return settings.CurrentPollOptions(); }, env_.WorkerClock);
  station_->Engine().Reset();
  // What a device window read (a tilt, an alarm state) shows in the list
  // rows at once, from the table, without asking the ALD again.
  windows_->SetRowRefresher([this](uint8_t slot, uint8_t) { station_->List().ShowAldRows(slot); });
  settings_->SetScanOptionsSink(&station_->Engine());
  settings_->SetPortReopen([this](const std::string&, int32_t) { ReopenPort(); });
  AisgHdlc& link = layer7_->Link();
  settings_->SetExchangeTimingSink([&link](bool fast, uint32_t guardMs) { link.SetExchangeTiming(fast, guardMs); });
  lossForwarder_ = std::make_unique<LinkLossForwarder>(layer7_->Link(), [this](uint8_t slot) { ShowLinkLost(slot); });
  ConnectDeviceWindowHooks();
  // Calibrations and downloads run for minutes: their progress stays in
  // view in the status bar whichever window is in front.
  auto* progress = new ProcedureProgress(this);
  progress->setObjectName(QStringLiteral("procedureProgress"));
  statusBar()->addPermanentWidget(progress);
  progress->Attach(*layer7_);
}

// After a firmware download the device restarts: about ten seconds before
// it is addressed and connected again, when the options say so.
void MainWindow::ConnectDeviceWindowHooks() {
  DeviceWindowHooks hooks;
  hooks.CalibrateAll = [this] { station_->Commands().CalibrateAllRets(); };
  hooks.AfterFirmware = [this] {
    if (settings_->DownloadAutoconnect.Load() != 1) return;
    constexpr int kRestartWaits = 20;
    constexpr int kRestartWaitMs = 500;
    for (int i = 0; i < kRestartWaits; ++i) {
      QTimer wait;
      wait.setSingleShot(true);
      wait.start(kRestartWaitMs);
      while (wait.isActive() && !closing_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    station_->Commands().ReaddressSelected();
  };
  windows_->SetHooks(std::move(hooks));
}

// The worker goes first: it may still be reporting into the windows.
MainWindow::~MainWindow() {
  timer_->stop();
  station_->Worker().Stop();
  layer7_->Link().Capture().Stop();
  lossForwarder_.reset();
  settings_->SetPortReopen(nullptr);
  settings_->SetExchangeTimingSink(nullptr);
  settings_->SetScanOptionsSink(nullptr);
  station_.reset();
}

void MainWindow::Tick() {
  Guarded("the timer tick", [this] { station_->Ticker().OnTimerTick(); });
  try {
    output_->Drain();
  } catch (const std::exception& e) {
    env_.Log.Write(kTraceError, TraceClass::kMain, 0, "Output pane: %s", e.what());
  }
}

void MainWindow::Guarded(const char* activity, const std::function<void()>& command) {
  try {
    command();
  } catch (const ECommError& error) {
    station_->Failures().Report(error, activity);
  } catch (const std::exception& e) {
    env_.Log.Write(kTraceError, TraceClass::kMain, 0, "Failure during %s: %s", activity, e.what());
  }
}

// A port given for this run is never put into the settings, so no save
// can store it.
void MainWindow::OpenPort() {
  const std::string& port = env_.PortOverride.empty() ? settings_->ComPort : env_.PortOverride;
  bool open =
      OpenAndReportPort(layer7_->Link(), env_.Log, port, static_cast<uint32_t>(settings_->SerialBaudrate.Load()));
  ShowPortState(open);
}

// The user asked for the settings' port: the port given for this run, and
// with it a simulated bus, is left. Closing first: the port's name cannot
// change while it is open.
bool MainWindow::ReopenPort() {
  if (!env_.PortOverride.empty()) {
    env_.PortOverride.clear();
    LeaveSimulatedBus();
  }
  try {
    layer7_->Link().Close();
  } catch (const ECommError&) {
    // Already reported where it was raised; the port is released all the same.
  }
  bool open = OpenAndReportPort(layer7_->Link(), env_.Log, settings_->ComPort,
                                static_cast<uint32_t>(settings_->SerialBaudrate.Load()));
  ShowPortState(open);
  return open;
}

// The port-closed form keeps the buttons' places, but they carry no command.
void MainWindow::ShowPortState(bool open) {
  portOpen_ = open;
  ShowPortAdvice(open);
  const int commands[] = {kCmdBroadcastReset, kCmdStartScan, kCmdStopScan};
  controlBar_->clear();
  for (int i = 0; i < 3; ++i) {
    QAction* command = Action(commands[i]);
    command->setEnabled(open);
    controlBar_->addAction(open ? command : closedPlaceholders_[i]);
  }
  controlBar_->addAction(Action(kCmdSaveReport));
  AccessibleNames::PrepareToolButtons(controlBar_);
}

// A port the user may not open, or one another program holds, stays named
// in the status bar with what to do, until a port opens.
void MainWindow::ShowPortAdvice(bool open) {
  const PortDiagnosis& why = layer7_->Link().OpenFailure();
  if (!open && why.Actionable()) {
    SetStatusText(why.Sentence(layer7_->Link().PortName()));
    portAdviceShown_ = true;
  } else if (portAdviceShown_) {
    SetStatusText("");
    portAdviceShown_ = false;
  }
}

void MainWindow::LeaveSimulatedBus() {
  if (env_.SimulatedBus.empty()) return;
  env_.SimulatedBus.clear();
  setWindowTitle(QStringLiteral("Tiltdeck"));
  if (simulatedText_) simulatedText_->hide();
}

void MainWindow::ShowLinkLost(uint8_t slot) {
  Guarded("showing a lost ALD", [this, slot] {
    windows_->ShowLinkLost(slot);
    station_->List().UpdateAldRows(slot, AldListModel::kAllSubunits);
    SetAldStatus(slot, AldSetup::StatusText(table_->Record(slot)));
  });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  closing_ = true;
  SaveLayout();
  QMainWindow::closeEvent(event);
}

void MainWindow::RestoreLayout() {
  QByteArray geometry =
      QByteArray::fromBase64(QByteArray::fromStdString(env_.LayoutStore.ReadString(kWindowGeometryKey, "")));
  if (!geometry.isEmpty()) restoreGeometry(geometry);
  QByteArray state =
      QByteArray::fromBase64(QByteArray::fromStdString(env_.LayoutStore.ReadString(kWindowStateKey, "")));
  if (!state.isEmpty()) restoreState(state, kLayoutVersion);
  const std::pair<QDockWidget*, int> docks[] = {
      {outputDock_, kCmdOutput}, {listDock_, kCmdAldList}, {propertiesDock_, kCmdProperties}};
  for (const auto& [dock, command] : docks) Action(command)->setChecked(!dock->isHidden());
}

// After "Restore Default" the store stays empty, so the next start has the
// default layout too; the section is deleted again in case anything wrote
// to it since.
void MainWindow::SaveLayout() {
  if (settings_->DefaultsRestored != 0) {
    env_.LayoutStore.DeleteSection();
    env_.LayoutStore.Flush();
    return;
  }
  env_.LayoutStore.WriteString(kWindowStateKey, saveState(kLayoutVersion).toBase64().toStdString());
  env_.LayoutStore.WriteString(kWindowGeometryKey, saveGeometry().toBase64().toStdString());
  env_.LayoutStore.Flush();
}

void MainWindow::SetStatusText(const std::string& text) {
  statusText_->setText(QString::fromStdString(text));
  if (tap_) tap_->SetStatusText(text);
}

void MainWindow::RowAdded(size_t row, const std::string& key) {
  list_->AddRow(row, key);
  if (tap_) tap_->RowAdded(row, key);
}

void MainWindow::RowFilled(size_t row, const RowContents& contents) {
  list_->FillRow(row, contents);
  if (tap_) tap_->RowFilled(row, contents);
}

void MainWindow::RowsCleared() {
  list_->ClearRows();
  if (tap_) tap_->RowsCleared();
}

// Its one button has no handler and stays disabled.
void MainWindow::RefreshListToolbar() {
  Action(kCmdCalibrateAll)->setEnabled(false);
  if (tap_) tap_->RefreshListToolbar();
}

void MainWindow::ShowAldProperties(uint8_t slot, const AldProperties& properties) {
  properties_->ShowAld(slot, properties);
  if (tap_) tap_->ShowAldProperties(slot, properties);
}

void MainWindow::SetAldStatus(uint8_t slot, const std::string& status) {
  properties_->SetStatus(slot, status);
  if (tap_) tap_->SetAldStatus(slot, status);
}

void MainWindow::HideAldProperties(uint8_t slot) {
  properties_->HideAld(slot);
  if (tap_) tap_->HideAldProperties(slot);
}

void MainWindow::SelectAldEntry(uint8_t slot) {
  properties_->SelectWindowEntry(slot);
  if (tap_) tap_->SelectAldEntry(slot);
}

void MainWindow::RefreshDocumentLinks() {
  properties_->SetSelectorEntries(windows_->OpenSlots());
  // The windows were activated as they opened, before the selector had
  // their entries: show the one in front.
  if (DeviceWindow* active = windows_->ActiveWindow()) properties_->SelectWindowEntry(active->Slot());
  if (tap_) tap_->RefreshDocumentLinks();
}

void MainWindow::ActivateAldList() {
  listDock_->show();
  listDock_->raise();
  if (tap_) tap_->ActivateAldList();
}
