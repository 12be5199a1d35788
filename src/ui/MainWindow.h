#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "bus/BusView.h"

class AisgLayer7;
class AldListPane;
class AldTable;
class BusStation;
class Clock;
class DeviceWindowsQt;
class LinkLossForwarder;
class OutputPane;
class PortInventory;
class ProfileStore;
class PropertiesPane;
class QAction;
class QActionGroup;
class QDockWidget;
class QLabel;
class QMdiArea;
class QTimer;
class QToolBar;
class Settings;
class TraceLog;
class UserMessages;
class FileChooser;

// The main window: menus, toolbars, status bar, the three panes and the
// device windows' area. It keeps the bus side (BusStation) over the link
// and settings it is given, drives its 50 ms tick and forwards every
// command to it; what the bus shows of the ALD list and properties reaches
// the panes through BusView.
class MainWindow : public QMainWindow, public BusView {
  Q_OBJECT

 public:
  // The bus side's process-wide objects. They are made by a call after
  // "Tiltdeck started" is traced, because making the link searches for the
  // adapter and loading the settings reports the port it found.
  struct BusParts {
    AldTable& Table;
    AisgLayer7& Layer7;
    Settings& Options;
  };

  struct Environment {
    TraceLog& Log;
    std::function<BusParts()> MakeBus;
    UserMessages& Messages;
    PortInventory& Ports;
    // Window layout and geometry, kept in the settings section.
    ProfileStore& LayoutStore;
    // Paces the worker's once-a-second look; the layer-7 clock when null.
    Clock* WorkerClock = nullptr;
    // A port for this run only (--port, --demo); it never enters the
    // settings, so nothing saves it.
    std::string PortOverride;
    // Not empty when the bus is simulated: what the title and the status
    // bar say about it.
    std::string SimulatedBus;
    int TimerIntervalMs = 50;
    // Where files are chosen; a save dialog when null.
    FileChooser* Files = nullptr;
  };

  // Command identifiers of the actions (QAction::data, objectName "cmdNNN").
  enum Command : int {
    kCmdExit = 57665,
    kCmdAbout = 57664,
    kCmdCustomize = 500,
    kCmdOutput = 501,
    kCmdProperties = 502,
    kCmdAldList = 503,
    kCmdOptions = 504,
    kCmdWebpage = 505,
    kCmdBroadcastReset = 512,
    kCmdStartScan = 513,
    kCmdStopScan = 514,
    kCmdSaveList = 529,
    kCmdCalibrateAll = 531,
    kCmdWindows = 5000,
    kCmdLookFirst = 5001,
    kCmdLookLast = 5010,
    kCmdSubscribeAlarms = 5016,
    kCmdGetAlarms = 5020,
    kCmdClearAlarms = 5021,
    kCmdAssign = 5037,
    kCmdVersion = 5038,
    kCmdConnect = 5039,
    kCmdDisconnect = 5040,
    kCmdPollAll = 5041,
    kCmdSaveListAlt = 5050,
    kCmdSoftwareReset = 5051,
    kCmdGetAll = 5052,
    kCmdSelfTest = 5053,
    kCmdClearAll = 5054,
    kCmdReconnect = 5060,
    kCmdSaveReport = 5062,
    // Our own: capture of the bus traffic for Wireshark.
    kCmdCapture = 5070,
  };

  explicit MainWindow(Environment environment, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The action of a command identifier; null when there is none.
  QAction* Action(int command) const;
  BusStation& Station() { return *station_; }
  Settings& Options() { return *settings_; }
  bool PortOpen() const { return portOpen_; }
  // True from the start of closing on: waits no longer process events.
  bool Closing() const { return closing_; }
  int32_t ApplicationLook() const { return look_; }
  QToolBar* ControlToolBar() const { return controlBar_; }
  QMdiArea* DocumentArea() const { return mdi_; }
  OutputPane* Output() const { return output_; }
  DeviceWindowsQt* Windows() const { return windows_; }
  QLabel* StatusPane() const { return statusText_; }

  // Opens the port again with the settings' port and rate and reports as
  // at start-up ("Detect Port", a change of port). A port given for this
  // run only is given up then.
  bool ReopenPort();
  // Every BusView call is also handed to the tap (tests watch through it).
  void SetViewTap(BusView* tap) { tap_ = tap; }
  // One run of the 50 ms timer.
  void Tick();
  // Starts a capture into a file the user chooses, or stops the one that
  // runs. A file that cannot be written is reported once; the bus work
  // goes on either way.
  void ToggleCapture(bool on);

  // BusView.
  void SetStatusText(const std::string& text) override;
  void RowAdded(size_t row, const std::string& key) override;
  void RowFilled(size_t row, const RowContents& contents) override;
  void RowsCleared() override;
  void RefreshListToolbar() override;
  void ShowAldProperties(uint8_t slot, const AldProperties& properties) override;
  void SetAldStatus(uint8_t slot, const std::string& status) override;
  void HideAldProperties(uint8_t slot) override;
  void SelectAldEntry(uint8_t slot) override;
  void RefreshDocumentLinks() override;
  void ActivateAldList() override;

 public slots:
  void StartScan();
  void StopScan();
  void RunOptions();
  void ShowAbout();
  void SetApplicationLook(int look);
  // The link layer declared the ALD in the slot lost (user-interface thread).
  void ShowLinkLost(uint8_t slot);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void MakeBus();
  void ConnectDeviceWindowHooks();
  void MakeActions();
  QAction* AddAction(int command, const QString& text, const QString& tip = QString());
  void MakeLookActions();
  void MakeMenus();
  void MakeToolBars();
  void MakeStatusBar();
  void MakeDocks();
  QDockWidget* AddDock(QWidget* pane, const QString& title, const QString& name, Qt::DockWidgetArea area, int command);
  void ConnectCommands();
  void ConnectPanes();
  void ShowPortState(bool open);
  void ShowPortAdvice(bool open);
  void OpenPort();
  void LeaveSimulatedBus();
  void RestoreLayout();
  void SaveLayout();
  void SelectAndRaise(uint8_t slot);
  void SaveAldList();
  void ShowWindowList();
  void MovePaneFocus(bool forward);
  // Runs a command; a failure inside it is reported, never raised.
  void CaptureFailed(const QString& message);
  void Guarded(const char* activity, const std::function<void()>& command);
  void OnCommand(int command, const std::function<void()>& handler);

  Environment env_;
  AldTable* table_ = nullptr;
  AisgLayer7* layer7_ = nullptr;
  Settings* settings_ = nullptr;
  int32_t look_ = 0;
  bool portOpen_ = false;
  bool portAdviceShown_ = false;
  bool closing_ = false;
  BusView* tap_ = nullptr;

  QMdiArea* mdi_ = nullptr;
  DeviceWindowsQt* windows_ = nullptr;
  std::unique_ptr<BusStation> station_;
  std::unique_ptr<LinkLossForwarder> lossForwarder_;
  QTimer* timer_ = nullptr;

  OutputPane* output_ = nullptr;
  AldListPane* list_ = nullptr;
  PropertiesPane* properties_ = nullptr;
  QDockWidget* outputDock_ = nullptr;
  QDockWidget* listDock_ = nullptr;
  QDockWidget* propertiesDock_ = nullptr;

  QToolBar* standardBar_ = nullptr;
  QToolBar* controlBar_ = nullptr;
  QToolBar* aldListBar_ = nullptr;
  QAction* closedPlaceholders_[3] = {};
  QActionGroup* lookGroup_ = nullptr;
  QLabel* statusText_ = nullptr;
  QLabel* simulatedText_ = nullptr;
};
