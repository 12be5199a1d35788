#pragma once

#include <cstdint>

#include "bus/BusUi.h"
#include "layer7/ResultCode.h"

class AisgHdlc;
class AisgLayer7;
class AldListModel;
class AldTable;
class BusTicker;
class Clock;
class CommFailureReporter;
class PollControl;
class ScanControl;
class ScanEngine;
class TraceLog;
class UiWorkQueue;

// The commands that act on the bus as a whole or on the link of the
// selected ALD. User-interface thread; each is a boundary at which a serial
// port failure is reported and the command abandoned (the link steps then
// give Failure).
class BusCommands {
 public:
  BusCommands(AisgLayer7& layer7, ScanEngine& engine, ScanControl& control, PollControl& polls, UiWorkQueue& uiWork,
              AldListModel& list, BusTicker& ticker, BusUi ui, CommFailureReporter& failures);

  void BroadcastReset();
  ResultCode AssignSelected();
  ResultCode VersionSelected();
  ResultCode ConnectSelected();
  ResultCode DisconnectSelected();
  // After a download: address, version, connect, then refresh the window.
  ResultCode ReaddressSelected();
  void CalibrateAllRets();
  void ReconnectSelected();

 private:
  template <class F>
  ResultCode Guarded(const char* activity, F&& f);
  void ResetBus();
  void HoldBus();
  void ReleaseBus();
  void ResetHeldBus();
  void HideListedProperties();
  uint8_t SelectedOrWarn();
  ResultCode Assign(uint8_t slot);
  ResultCode LinkStep(const char* text, bool connect);
  void CalibrateSingleRet(uint8_t slot);
  void CalibrateMultiRet(uint8_t slot);
  void MarkCalibrating(uint8_t slot, uint8_t subunit);
  void AfterCalibration(uint8_t slot, uint8_t subunit);
  void Reconnect(uint8_t slot);

  AisgLayer7& layer7_;
  AisgHdlc& link_;
  AldTable& table_;
  TraceLog& log_;
  Clock& clock_;
  ScanEngine& engine_;
  ScanControl& control_;
  PollControl& polls_;
  UiWorkQueue& uiWork_;
  AldListModel& list_;
  BusTicker& ticker_;
  BusUi ui_;
  CommFailureReporter& failures_;
};
