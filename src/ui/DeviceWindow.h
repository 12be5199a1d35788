#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "layer7/ResultCode.h"
#include "ui/DevicePageOwner.h"

class AisgLayer7;
class AldTable;
class ColorEdit;
class CommFailureReporter;
class DeviceTabs;
class FieldTabs;
class RetOperationPage;
class TmaOperationPage;
class UserMessages;
struct DeviceWindowHooks;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class TraceLog;
struct AldRecord;

// The contents of one device window: the identity and alarm status of the
// ALD in its slot, and the operations that read them from the device.
//
// The operations act on the current ALD of the table, as the device
// commands of the main window do, and show the outcome here; LoadAld alone
// reads the ALD of this window's slot. They run the device's procedures on
// the user-interface thread, let the windows repaint between their steps,
// and raise ECommError when the serial port fails (the caller reports it).
// The slot an operation starts on is kept to its end, even if another
// window is activated while it waits for the device.
//
// Controls keep the ids of the window's layout as object names ("ctl1098"),
// the hidden ones included: those hold results that other parts read but a
// technician never sees.
class DeviceWindow : public QWidget, public DevicePageOwner {
  Q_OBJECT

 public:
  // Control ids.
  static constexpr int kProductNumber = 1098;
  static constexpr int kUniqueId = 1099;
  static constexpr int kFirmwareVersion = 1101;
  static constexpr int kHardwareVersion = 1102;
  static constexpr int kAlarmText = 1103;
  static constexpr int kAlarmStatus = 1104;
  static constexpr int kSubunitCount = 1105;
  static constexpr int kLastResult = 1106;
  static constexpr int kLastError = 1107;
  static constexpr int kSubunitList = 1144;
  static constexpr int kTypeBox = 1072;
  static constexpr int kResetButton = 1001;
  static constexpr int kSelfTestButton = 1002;
  static constexpr int kGetInfoButton = 1003;
  static constexpr int kGetAlarmsButton = 1004;
  static constexpr int kClearAlarmsButton = 1005;
  static constexpr int kSubscribeButton = 1006;
  static constexpr int kDownloadButton = 1007;
  static constexpr int kClearEepromButton = 1008;
  static constexpr int kWriteIdentityButton = 1009;
  static constexpr int kGetAllButton = 1010;
  static constexpr int kClearAllButton = 1011;
  static constexpr int kGetSubunitsButton = 1021;
  static constexpr int kTogglePageButton = 1022;
  static constexpr int kAntennaPageButton = 1023;
  static constexpr int kOperatorPageButton = 1024;
  static constexpr int kTmaFieldsButton = 1025;

  static constexpr uint8_t kAllSubunits = 0xFF;
  // Fills the ALD list rows of (slot, subunit) again; kAllSubunits for
  // every row of the slot.
  using RowRefresher = std::function<void(uint8_t slot, uint8_t subunit)>;

  // The bus side and the program around the window it works with.
  struct Parts {
    AisgLayer7& Layer7;
    AldTable& Table;
    TraceLog& Log;
    // A serial port failure in an operation started from one of the
    // window's own controls ends there and goes to Failures.
    CommFailureReporter& Failures;
    UserMessages& Messages;
    // Read at each use, so that hooks set later apply to open windows.
    const DeviceWindowHooks& Hooks;
  };

  DeviceWindow(uint8_t slot, const Parts& parts, RowRefresher refreshRows, QWidget* parent = nullptr);

  uint8_t Slot() const { return slot_; }
  // "ALD #n".
  QString Title() const;
  static QString TitleOf(uint8_t slot);
  static QString ControlName(int id);

  // Operations on the current ALD.
  void GetInfo();
  void GetAlarms() override;
  void GetSubunits();
  void ResetDevice();
  void SelfTest();
  void SubscribeAlarms();
  void ClearEeprom();
  // Writes the identity typed into the three unlocked boxes (service mode).
  void WriteIdentity();
  void RefreshAld() override;
  // The firmware download of the current ALD and, after it, the device's
  // reconnection when the program does it.
  ResultCode Download() override;
  void Pause(int milliseconds) override;
  // The service code in the tilt box: the identity boxes open for writing
  // and the vertical SET button shows.
  void SetServiceMode(bool on) override;
  bool ServiceMode() const { return serviceMode_; }
  // Button 1022: the RET and TMA pages change places (one flag for all
  // windows).
  void TogglePage();
  // Buttons 1023 to 1025: the one field page alone.
  void ShowFieldPage(int index);
  void RefreshAllSubunits();
  void GetAll();
  // Choosing entry k of the subunit list: subunit k + 1, read again.
  void ChooseSubunit(int entry);

  // Reads the ALD of the given slot into this window after its link came
  // back.
  void LoadAld(uint8_t slot);

  // Display only.
  // The result's name in the result boxes; a button, when given, takes
  // the result's colour in its caption.
  void ShowResult(ResultCode result, QPushButton* button) override;
  void ShowAlarmStatus(const QString& text, bool alarmed) override;
  void ShowAlarmText(const QString& text);
  void ClearAlarmBoxes();
  void ClearDisplay();
  void ShowLinkLost();
  void ShowDeviceType(uint8_t deviceType);
  // The commands of the RET, antenna and operator pages.
  void EnableCommands(bool enable);
  bool CommandsEnabled() const { return commandsEnabled_; }
  void EnableRetTab(bool enable);
  bool RetTabEnabled() const { return retTabEnabled_; }

  ColorEdit* Box(int id) const;
  QPushButton* Button(int id) const;
  QComboBox* SubunitList() const { return subunitList_; }
  QGroupBox* TypeBox() const { return typeBox_; }
  DeviceTabs* Tabs() const { return deviceTabs_; }
  FieldTabs* Fields() const { return fieldTabs_; }
  RetOperationPage* RetPage() const;
  TmaOperationPage* TmaPage() const;

 private:
  // The current ALD's slot; 0, after the warning trace, when there is none.
  uint8_t RequireAld() const;
  void GetInfoOf(uint8_t slot);
  void GetAlarmsOf(uint8_t slot);
  void GetSubunitsOf(uint8_t slot);
  void RefreshAldOf(uint8_t slot);
  void RefreshAllSubunitsOf(uint8_t slot);
  void ShowIdentity(uint8_t slot);
  // The alarm read of the ALD's type for its selected subunit, shown in
  // the alarm status box, with the ALD's state following it.
  ResultCode ReadAlarms(uint8_t slot, uint8_t subunit);
  void ShowAlarmsRead(AldRecord& ald, uint8_t subunit, ResultCode result);
  // Makes subunit n the one this window works on, for the slot's record
  // whether or not it is the current ALD, and shows it in the list.
  void SelectSubunit(uint8_t slot, uint8_t n);
  void ShowSubunitEntry(int entry);
  void RefreshRows(uint8_t slot, uint8_t subunit);
  // Runs f with the button disabled and captioned "RUNNING", and gives it
  // its caption back however f ends.
  // Connects the button to an operation, with a port failure reported.
  void Bind(int id, const char* activity, void (DeviceWindow::*operation)());
  template <class F>
  void WhileRunning(QPushButton* button, const QString& caption, F&& f);

  void BuildInfoBox(QVBoxLayout* layout);
  void BuildLowerArea(QVBoxLayout* layout);
  void BuildHiddenControls();
  void BuildPages();
  QHBoxLayout* BuildSubunitRow();
  void ShowSubunitRow(bool show);
  QPushButton* MakeIdentityButton();
  // Both tab controls, the device pages first.
  template <class F>
  void ForBothTabs(F&& f);
  ColorEdit* MakeBox(int id, QWidget* parent);
  QPushButton* MakeButton(int id, const QString& caption);

  uint8_t slot_;
  AisgLayer7& layer7_;
  AldTable& table_;
  TraceLog& log_;
  CommFailureReporter& failures_;
  UserMessages& messages_;
  const DeviceWindowHooks& hooks_;
  RowRefresher refreshRows_;
  bool commandsEnabled_ = true;
  bool retTabEnabled_ = true;
  bool serviceMode_ = false;

  QGroupBox* typeBox_ = nullptr;
  QComboBox* subunitList_ = nullptr;
  QLabel* subunitLabel_ = nullptr;
  DeviceTabs* deviceTabs_ = nullptr;
  FieldTabs* fieldTabs_ = nullptr;
};
