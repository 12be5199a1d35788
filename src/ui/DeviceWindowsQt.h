#pragma once

#include <QObject>
#include <cstdint>
#include <vector>

#include "bus/DeviceWindows.h"

class AisgLayer7;
class AldTable;
class QMdiArea;
class TraceLog;
class UserMessages;

// The device windows in the main window's document area, one per ALD,
// titled "ALD #n" by slot. Calls from the worker thread are queued to the
// user-interface thread.
class DeviceWindowsQt : public QObject, public DeviceWindows {
  Q_OBJECT

 public:
  DeviceWindowsQt(QMdiArea& area, AisgLayer7& layer7, AldTable& table, TraceLog& log, UserMessages& messages,
                  QObject* parent = nullptr);

  bool HasWindow(uint8_t slot) const override;
  void LoadAld(uint8_t slot) override;
  void EnableCommands(uint8_t slot, bool enable) override;
  bool HasActiveWindow() const override;
  void OpenWindow(uint8_t slot) override;
  void CloseAll() override;
  void ShowDeviceType(uint8_t deviceType) override;
  void RefreshAllSubunits() override;
  void RefreshAld() override;
  void GetAlarms() override;
  void ResetDevice() override;
  void SelfTest() override;
  void GetAll() override;
  void ClearDisplay() override;
  void ShowAlarmText(const std::string& text) override;
  void ShowResult(ResultCode result) override;
  void ShowAlarmStatus(const std::string& text, bool alarmed) override;
  void ClearAlarmBoxes() override;
  void EnableRetTab(bool enable) override;

  // Any thread: the link layer declared the ALD in this slot lost.
  void ShowLinkLost(uint8_t slot);
  // The slots of the open windows, in slot order.
  std::vector<uint8_t> OpenSlots() const;
  // Brings the slot's window to the front, which activates it.
  void Raise(uint8_t slot);

 signals:
  // A device window became active; its ALD is now the current one.
  void windowActivated(uint8_t slot);
};
