#pragma once

#include <optional>
#include <string>

#include "bus/BusView.h"
#include "bus/DeviceWindows.h"
#include "bus/UserMessages.h"

// The user interface as the bus sees it, for a front end without windows:
// there is no list, pane or device window to update, so those calls do
// nothing. What the bus would show in a message box is kept, because a
// serial port failure is reported that way and must end the command.
class CliUi : public BusView, public DeviceWindows, public UserMessages {
 public:
  // The text of the last message box of an error, taken once.
  std::optional<std::string> TakeError();

  // BusView.
  void SetStatusText(const std::string&) override {}
  void RowAdded(size_t, const std::string&) override {}
  void RowFilled(size_t, const RowContents&) override {}
  void RowsCleared() override {}
  void RefreshListToolbar() override {}
  void ShowAldProperties(uint8_t, const AldProperties&) override {}
  void SetAldStatus(uint8_t, const std::string&) override {}
  void HideAldProperties(uint8_t) override {}
  void SelectAldEntry(uint8_t) override {}
  void RefreshDocumentLinks() override {}
  void ActivateAldList() override {}

  // DeviceWindows: none is ever open.
  bool HasWindow(uint8_t) const override { return false; }
  void LoadAld(uint8_t) override {}
  void EnableCommands(uint8_t, bool) override {}
  bool HasActiveWindow() const override { return false; }
  void OpenWindow(uint8_t) override {}
  void CloseAll() override {}
  void ShowDeviceType(uint8_t) override {}
  void RefreshAllSubunits() override {}
  void RefreshAld() override {}
  void GetAlarms() override {}
  void ResetDevice() override {}
  void SelfTest() override {}
  void GetAll() override {}
  void ClearDisplay() override {}
  void ShowAlarmText(const std::string&) override {}
  void ShowResult(ResultCode) override {}
  void ShowAlarmStatus(const std::string&, bool) override {}
  void ClearAlarmBoxes() override {}
  void EnableRetTab(bool) override {}

  // UserMessages.
  void ShowMessage(const std::string& title, const std::string& text, Icon icon) override;

 private:
  std::optional<std::string> error_;
};
