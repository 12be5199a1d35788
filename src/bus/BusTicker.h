#pragma once

#include <cstdint>
#include <functional>

#include "persist/PollOptions.h"

class AlarmPoller;
class AldListModel;
class BusView;
class CommFailureReporter;
class ScanControl;
class ScanEngine;

// The main window's 50 ms timer, without the timer: keeps the status text
// and the ALD list in step with the scan, and starts a poll every 41 ticks.
// Whatever drives it (the window's timer, a test) calls OnTimerTick on the
// user-interface thread.
class BusTicker {
 public:
  using OptionsProvider = std::function<PollOptions()>;

  static constexpr int32_t kTicksPerPoll = 41;

  BusTicker(ScanEngine& engine, ScanControl& control, AldListModel& list, AlarmPoller& poller, BusView& view,
            CommFailureReporter& failures, OptionsProvider options);

  void OnTimerTick();
  // The bus reset forgets a count that was not yet taken.
  void ForgetFoundCount() { lastFoundCount_ = 0; }
  uint8_t LastFoundCount() const { return lastFoundCount_; }

 private:
  void FollowRequest(int32_t requested);
  void AddFoundRows();
  void DecidePoll();

  ScanEngine& engine_;
  ScanControl& control_;
  AldListModel& list_;
  AlarmPoller& poller_;
  BusView& view_;
  CommFailureReporter& failures_;
  OptionsProvider options_;

  uint8_t lastFoundCount_ = 0;
  int32_t seenRequest_ = 0;
  int32_t pollTick_ = 0;
};
