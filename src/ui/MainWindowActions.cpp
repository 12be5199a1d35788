// The main window's commands as actions, and the menus, toolbars, status bar
// and panes that carry them.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDockWidget>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "persist/Settings.h"
#include "ui/AldListPane.h"
#include "ui/AppLook.h"
#include "ui/MainWindow.h"
#include "ui/OutputPane.h"
#include "ui/PropertiesPane.h"

QAction* MainWindow::AddAction(int command, const QString& text, const QString& tip) {
  auto* action = new QAction(text, this);
  action->setData(command);
  action->setObjectName(QStringLiteral("cmd%1").arg(command));
  if (!tip.isEmpty()) {
    action->setToolTip(tip);
    action->setStatusTip(tip);
  }
  // Commands without a menu item or button are still the window's, so
  // that they can be found and triggered by their id.
  addAction(action);
  return action;
}

QAction* MainWindow::Action(int command) const {
  return findChild<QAction*>(QStringLiteral("cmd%1").arg(command), Qt::FindDirectChildrenOnly);
}

void MainWindow::MakeActions() {
  QStyle* s = style();
  AddAction(kCmdExit, QStringLiteral("E&xit"));
  AddAction(kCmdOutput, QStringLiteral("&Output"), QStringLiteral("Show/Hide the Output"));
  AddAction(kCmdProperties, QStringLiteral("&Properties"), QStringLiteral("Show/Hide the Properties"));
  AddAction(kCmdAldList, QStringLiteral("&ALD List"), QStringLiteral("Show/Hide the ALD's List"));
  AddAction(kCmdOptions, QStringLiteral("&Options..."), QStringLiteral("Change options"));
  AddAction(kCmdSubscribeAlarms, QStringLiteral("SUBSCRIBE"));
  AddAction(kCmdGetAlarms, QStringLiteral("GET"));
  AddAction(kCmdClearAlarms, QStringLiteral("CLEAR"));
  AddAction(kCmdReconnect, QStringLiteral("Reconnect Device"));
  AddAction(kCmdSoftwareReset, QStringLiteral("L7 Software Reset"));
  AddAction(kCmdGetAll, QStringLiteral("Get All"));
  AddAction(kCmdClearAll, QStringLiteral("Clear All"));
  AddAction(kCmdCapture, QStringLiteral("&Capture Bus Traffic..."),
            QStringLiteral("Write every frame on the bus to a capture file for Wireshark"))
      ->setCheckable(true);
  AddAction(kCmdSelfTest, QStringLiteral("Self Test"));
  AddAction(kCmdWebpage, QStringLiteral("Go to &Webpage"), QStringLiteral("Open the Webpage"));
  AddAction(kCmdAbout, QStringLiteral("&About Tiltdeck..."))
      ->setIcon(s->standardIcon(QStyle::SP_MessageBoxInformation));
  AddAction(kCmdBroadcastReset, QStringLiteral("Reset Bus"), QStringLiteral("Reset the aisg bus"))
      ->setIcon(s->standardIcon(QStyle::SP_BrowserReload));
  QAction* start = AddAction(kCmdStartScan, QStringLiteral("Start Scan"), QStringLiteral("Start the aisg scan"));
  start->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
  start->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F5));
  AddAction(kCmdStopScan, QStringLiteral("Stop Scan"), QStringLiteral("Stop the aisg scan"))
      ->setIcon(s->standardIcon(QStyle::SP_MediaStop));
  AddAction(kCmdSaveList, QStringLiteral("Save ALD List"), QStringLiteral("Save the ALD List"))
      ->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
  AddAction(kCmdSaveListAlt, QStringLiteral("Save ALD List"), QStringLiteral("Save the ALD List"));
  AddAction(kCmdSaveReport, QStringLiteral("Save Report"), QStringLiteral("Save ALD Report"))
      ->setIcon(s->standardIcon(QStyle::SP_FileDialogDetailedView));
  AddAction(kCmdCalibrateAll, QStringLiteral("Calibrate all RETs"), QStringLiteral("Calibrate all RETs"))
      ->setEnabled(false);
  AddAction(kCmdAssign, QStringLiteral("Assign Address"));
  AddAction(kCmdVersion, QStringLiteral("Protocol Version"));
  AddAction(kCmdConnect, QStringLiteral("Connect"));
  AddAction(kCmdDisconnect, QStringLiteral("Disconnect"));
  AddAction(kCmdPollAll, QStringLiteral("Poll ALD"));
  AddAction(kCmdWindows, QStringLiteral("&Windows..."));
  AddAction(kCmdCustomize, QStringLiteral("Customize..."));
  for (int command : {kCmdOutput, kCmdProperties, kCmdAldList}) Action(command)->setCheckable(true);
  // F6 and Shift+F6 go round the panes and the documents.
  auto* next = new QAction(QStringLiteral("Next Pane"), this);
  next->setShortcut(QKeySequence(Qt::Key_F6));
  connect(next, &QAction::triggered, this, [this] { MovePaneFocus(true); });
  auto* previous = new QAction(QStringLiteral("Previous Pane"), this);
  previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
  connect(previous, &QAction::triggered, this, [this] { MovePaneFocus(false); });
  addActions({next, previous});
  for (int i = 0; i < 3; ++i) {
    closedPlaceholders_[i] =
        new QAction(Action(kCmdBroadcastReset + i)->icon(), Action(kCmdBroadcastReset + i)->text(), this);
    closedPlaceholders_[i]->setEnabled(false);
    closedPlaceholders_[i]->setObjectName(QStringLiteral("closedPort%1").arg(i + 1));
  }
  MakeLookActions();
}

void MainWindow::MakeLookActions() {
  lookGroup_ = new QActionGroup(this);
  lookGroup_->setExclusive(true);
  for (int look = AppLook::kFirst; look <= AppLook::kLast; ++look) {
    QAction* action = AddAction(look, AppLook::MenuText(look));
    action->setCheckable(true);
    action->setChecked(look == look_);
    lookGroup_->addAction(action);
    connect(action, &QAction::triggered, this, [this, look] { SetApplicationLook(look); });
  }
}

void MainWindow::MakeMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(Action(kCmdExit));
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  QMenu* bars = view->addMenu(QStringLiteral("&Toolbars and Docking Windows"));
  connect(bars, &QMenu::aboutToShow, this, [this, bars] {
    bars->clear();
    bars->addActions(createPopupMenu()->actions());
    bars->addSeparator();
    bars->addAction(Action(kCmdCustomize));
  });
  view->addAction(Action(kCmdOutput));
  view->addAction(Action(kCmdAldList));
  view->addAction(Action(kCmdOptions));
  QMenu* looks = view->addMenu(QStringLiteral("Application &Look"));
  looks->addActions(lookGroup_->actions());
  QMenu* alarms = menuBar()->addMenu(QStringLiteral("Alarm &Controls"));
  for (int command : {kCmdSubscribeAlarms, kCmdGetAlarms, kCmdClearAlarms}) alarms->addAction(Action(command));
  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  for (int command : {kCmdReconnect, kCmdSoftwareReset, kCmdGetAll, kCmdClearAll}) tools->addAction(Action(command));
  tools->addSeparator();
  tools->addAction(Action(kCmdCapture));
  QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
  window->addAction(Action(kCmdWindows));
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(Action(kCmdWebpage));
  help->addAction(Action(kCmdAbout));
}

void MainWindow::MakeToolBars() {
  standardBar_ = addToolBar(QStringLiteral("Standard"));
  standardBar_->setObjectName(QStringLiteral("Standard"));
  for (int command : {kCmdSaveList, kCmdProperties, kCmdOutput, kCmdAldList, kCmdOptions, kCmdAbout}) {
    standardBar_->addAction(Action(command));
  }
  standardBar_->hide();
  controlBar_ = addToolBar(QStringLiteral("Control"));
  controlBar_->setObjectName(QStringLiteral("Control"));
  controlBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  aldListBar_ = addToolBar(QStringLiteral("ALD List"));
  aldListBar_->setObjectName(QStringLiteral("ALD List"));
  aldListBar_->addAction(Action(kCmdCalibrateAll));
  aldListBar_->hide();
  aldListBar_->setEnabled(false);
}

// Pane 0 carries the scan's texts; a simulated bus says so for the whole run.
void MainWindow::MakeStatusBar() {
  statusText_ = new QLabel(this);
  statusText_->setObjectName(QStringLiteral("statusPane0"));
  statusBar()->addWidget(statusText_, 1);
  if (env_.SimulatedBus.empty()) return;
  simulatedText_ = new QLabel(QString::fromStdString(env_.SimulatedBus), this);
  simulatedText_->setObjectName(QStringLiteral("simulatedBus"));
  simulatedText_->setStyleSheet(
      QStringLiteral("QLabel { color: white; background: #b35900; padding: 1px 8px; font-weight: bold; }"));
  statusBar()->addPermanentWidget(simulatedText_);
}

QDockWidget* MainWindow::AddDock(QWidget* pane, const QString& title, const QString& name, Qt::DockWidgetArea area,
                                 int command) {
  auto* dock = new QDockWidget(title, this);
  dock->setObjectName(name);
  dock->setWidget(pane);
  addDockWidget(area, dock);
  QAction* toggle = Action(command);
  connect(toggle, &QAction::triggered, dock, &QDockWidget::setVisible);
  connect(dock, &QDockWidget::visibilityChanged, this, [dock, toggle] { toggle->setChecked(!dock->isHidden()); });
  toggle->setChecked(true);
  return dock;
}

void MainWindow::MakeDocks() {
  output_ = new OutputPane(env_.Log, *settings_, this);
  list_ = new AldListPane(this);
  list_->setObjectName(QStringLiteral("ALD LIST"));
  list_->setWindowTitle(QStringLiteral("ALD LIST"));
  list_->SetColumns(static_cast<uint32_t>(settings_->AldListFields.Load()));
  properties_ = new PropertiesPane(*table_, env_.Log, this);
  outputDock_ =
      AddDock(output_, QStringLiteral("Output"), QStringLiteral("OutputPane"), Qt::BottomDockWidgetArea, kCmdOutput);
  listDock_ =
      AddDock(list_, QStringLiteral("  List  "), QStringLiteral("AldListPane"), Qt::LeftDockWidgetArea, kCmdAldList);
  propertiesDock_ = AddDock(properties_, QStringLiteral("Properties"), QStringLiteral("PropertiesPane"),
                            Qt::RightDockWidgetArea, kCmdProperties);
  connect(Action(kCmdAldList), &QAction::triggered, this, [this] { RefreshListToolbar(); });
  resizeDocks({outputDock_}, {200}, Qt::Vertical);
  resizeDocks({listDock_, propertiesDock_}, {300, 300}, Qt::Horizontal);
}
