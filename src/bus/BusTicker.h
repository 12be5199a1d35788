#pragma once

#include <cstdint>
#include <functional>

#include "persist/PollOptions.h"

class AldListModel;
class BusView;
class CommFailureReporter;
class PollControl;
class ScanControl;
class ScanEngine;
class UiWorkQueue;

// The main window's 50 ms timer, without the timer: keeps the status text
// and the ALD list in step with the scan, shows what the worker's poll
// posted for the windows, and asks the worker for a poll every 41 ticks.
// The tick itself never touches the bus for the poll, so a poll of many or
// silent ALDs does not hold up the window. Whatever drives it (the
// window's timer, a test) calls OnTimerTick on the user-interface thread.
class BusTicker {
 public:
  using OptionsProvider = std::function<PollOptions()>;

  static constexpr int32_t kTicksPerPoll = 41;

  BusTicker(ScanEngine& engine, ScanControl& control, AldListModel& list, PollControl& polls, UiWorkQueue& ui,
            BusView& view, CommFailureReporter& failures, OptionsProvider options);

  void OnTimerTick();
  // The Poll ALD command: asks the worker for a poll now, whatever the
  // options say. False when a poll is still under way.
  bool RequestPoll();
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
  PollControl& polls_;
  UiWorkQueue& ui_;
  BusView& view_;
  CommFailureReporter& failures_;
  OptionsProvider options_;

  uint8_t lastFoundCount_ = 0;
  int32_t seenRequest_ = 0;
  int32_t pollTick_ = 0;
};
