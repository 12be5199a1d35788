#pragma once

#include <cstdint>
#include <string>

#include "layer7/ResultCode.h"

// The device windows, one per ALD, as the bus needs them. The "active"
// window is the one activated or added last; calls aimed at it do nothing
// when there is none.
//
// Threads: HasWindow, LoadAld and EnableCommands are also called from the
// worker thread (the scan's reconnect pass). HasWindow must be safe to call
// from any thread; LoadAld and EnableCommands must be posted to the
// user-interface thread and return at once. The worker holds no lock while
// it calls them, and nothing here may wait for the worker. Every other call
// comes from the user-interface thread and may run layer-7 procedures.
class DeviceWindows {
 public:
  virtual ~DeviceWindows() = default;

  // Any thread.
  virtual bool HasWindow(uint8_t slot) const = 0;
  virtual void LoadAld(uint8_t slot) = 0;
  // The commands of the RET, antenna and operator pages of the slot's window.
  virtual void EnableCommands(uint8_t slot, bool enable) = 0;

  // User-interface thread.
  virtual bool HasActiveWindow() const = 0;
  // Opens the slot's window, which becomes the active one.
  virtual void OpenWindow(uint8_t slot) = 0;
  virtual void CloseAll() = 0;
  virtual void ShowDeviceType(uint8_t deviceType) = 0;
  virtual void RefreshAllSubunits() = 0;
  virtual void RefreshAld() = 0;
  virtual void GetAlarms() = 0;
  virtual void ResetDevice() = 0;
  virtual void SelfTest() = 0;
  virtual void GetAll() = 0;
  virtual void ClearDisplay() = 0;
  // The alarm-change box (red).
  virtual void ShowAlarmText(const std::string& text) = 0;
  virtual void ShowResult(ResultCode result) = 0;
  // The alarm status box: red when alarmed, the normal colour otherwise.
  virtual void ShowAlarmStatus(const std::string& text, bool alarmed) = 0;
  // Empties both alarm boxes and gives them their normal colour back.
  virtual void ClearAlarmBoxes() = 0;
  virtual void EnableRetTab(bool enable) = 0;
};
