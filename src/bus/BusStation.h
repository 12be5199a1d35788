#pragma once

#include "bus/AlarmPoller.h"
#include "bus/AldCommands.h"
#include "bus/AldListModel.h"
#include "bus/BusCommands.h"
#include "bus/BusTicker.h"
#include "bus/BusUi.h"
#include "bus/BusWorker.h"
#include "bus/CommFailureReporter.h"
#include "bus/PollControl.h"
#include "bus/ScanControl.h"
#include "bus/ScanEngine.h"
#include "bus/UiWorkQueue.h"

class AisgLayer7;
class Clock;

// The bus side of the primary station, put together: the scan and the
// alarm poll with their worker thread, the ALD list, the timer logic, and
// the commands. The main window keeps one, starts its worker, and forwards
// its timer ticks (which also show what the worker has for the windows)
// and commands to it; tests build one over a simulated bus.
class BusStation {
 public:
  // workerClock paces the worker's once-a-second look; by default it is the
  // layer-7 object's clock, which also times the bus waits. On the real
  // clock a poll request wakes the worker at once.
  BusStation(AisgLayer7& layer7, BusUi ui, ScanEngine::OptionsProvider scanOptions,
             BusTicker::OptionsProvider pollOptions, Clock* workerClock = nullptr);

  ScanEngine& Engine() { return engine_; }
  ScanControl& Control() { return control_; }
  PollControl& Polls() { return polls_; }
  UiWorkQueue& UiWork() { return uiWork_; }
  BusWorker& Worker() { return worker_; }
  AldListModel& List() { return list_; }
  AlarmPoller& Poller() { return poller_; }
  BusTicker& Ticker() { return ticker_; }
  BusCommands& Commands() { return commands_; }
  AldCommands& AldOps() { return aldCommands_; }
  CommFailureReporter& Failures() { return failures_; }

 private:
  CommFailureReporter failures_;
  UiWorkQueue uiWork_;
  PollControl polls_;
  ScanEngine engine_;
  ScanControl control_;
  AldListModel list_;
  AlarmPoller poller_;
  BusTicker ticker_;
  BusCommands commands_;
  AldCommands aldCommands_;
  // Last, so that it stops before anything it uses goes away.
  BusWorker worker_;
};
