#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "bus/CommFailureReporter.h"
#include "bus/DeviceWindows.h"
#include "ui/DeviceWindowHooks.h"

class AisgLayer7;
class AldTable;
class DeviceWindow;
class QMdiArea;
class QMdiSubWindow;
class TraceLog;
class UserMessages;

// The device windows in the main window's document area, one per ALD,
// titled "ALD #n" by slot. Calls from the worker thread are queued to the
// user-interface thread.
//
// Operations that run procedures raise ECommError to their caller when the
// serial port fails, as the bus side expects; LoadAld, which comes queued
// from the scan, and the window's own controls report it themselves.
class DeviceWindowsQt : public QObject, public DeviceWindows {
  Q_OBJECT

 public:
  DeviceWindowsQt(QMdiArea& area, AisgLayer7& layer7, AldTable& table, TraceLog& log, UserMessages& messages,
                  QObject* parent = nullptr);
  ~DeviceWindowsQt() override;

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

  // More operations of the active window, on the current ALD.
  void GetInfo();
  void GetSubunits();
  void SubscribeAlarms();

  // How the windows have the ALD list's rows of an ALD filled again after
  // they changed its state (the main window passes the list's update).
  void SetRowRefresher(std::function<void(uint8_t slot, uint8_t subunit)> refresher);

  // What the windows need from the program: file choice, calibrate all,
  // the reconnection after a firmware download, the pauses. Applies to the
  // windows already open too. Without a file chooser set, the platform's
  // file-open dialog is used.
  void SetHooks(DeviceWindowHooks hooks);
  DeviceWindowHooks& Hooks() { return hooks_; }
  // The table the windows show.
  AldTable& Table() const { return table_; }

  // The slot's window, null when it has none. User-interface thread.
  DeviceWindow* Window(uint8_t slot) const;
  DeviceWindow* ActiveWindow() const;
  QMdiSubWindow* Frame(uint8_t slot) const;

 signals:
  // A device window became active; its ALD is now the current one.
  void windowActivated(uint8_t slot);

 protected:
  // Refuses every close of a device window but the one CloseAll makes.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Entry {
    QPointer<QMdiSubWindow> Frame;
    QPointer<DeviceWindow> View;
  };

  void OnSubWindowActivated(QMdiSubWindow* frame);
  static void RemoveCloseEntry(QMdiSubWindow* frame);
  void ActivateOnPress(DeviceWindow* view, QMdiSubWindow* frame);
  // Runs f now on the user-interface thread, or queues it there from any
  // other thread and returns at once.
  template <class F>
  void OnGuiThread(F&& f);
  void SetOpen(uint8_t slot, bool open);

  QMdiArea& area_;
  AisgLayer7& layer7_;
  AldTable& table_;
  TraceLog& log_;
  UserMessages& messages_;
  CommFailureReporter failures_;
  DeviceWindowHooks hooks_;
  std::function<void(uint8_t, uint8_t)> refreshRows_;

  std::map<uint8_t, Entry> windows_;  // user-interface thread only
  std::array<std::atomic<bool>, 256> open_{};
  std::atomic<uint8_t> activeSlot_{0};
  bool closingAll_ = false;
};
