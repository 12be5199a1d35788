#include "bus/BusTicker.h"

#include <optional>

#include "ald/AldTable.h"
#include "bus/AldListModel.h"
#include "bus/BusView.h"
#include "bus/CommFailureReporter.h"
#include "bus/PollControl.h"
#include "bus/ScanControl.h"
#include "bus/ScanEngine.h"
#include "bus/UiWorkQueue.h"

BusTicker::BusTicker(ScanEngine& engine, ScanControl& control, AldListModel& list, PollControl& polls, UiWorkQueue& ui,
                     BusView& view, CommFailureReporter& failures, OptionsProvider options)
    : engine_(engine),
      control_(control),
      list_(list),
      polls_(polls),
      ui_(ui),
      view_(view),
      failures_(failures),
      options_(std::move(options)) {}

void BusTicker::OnTimerTick() {
  ui_.Drain();
  lastFoundCount_ = engine_.ReportedCount();
  int32_t requested = control_.ScanRequested();
  FollowRequest(requested);
  if (lastFoundCount_ != 0) AddFoundRows();
  DecidePoll();
}

void BusTicker::FollowRequest(int32_t requested) {
  if (requested != seenRequest_) {
    view_.SetStatusText(requested == 1 ? "Scan Started" : "");
    seenRequest_ = requested;
  }
  if (requested == 1 && engine_.IsRunning()) view_.SetStatusText("Scan in progress");
}

// New ALDs take the slots after the last listed ALD (not after the last
// row: an ALD with subunits has several). A port failure while one ALD is
// added does not cost the others their rows, and is reported once.
void BusTicker::AddFoundRows() {
  unsigned first = list_.ListedAldCount() + 1;
  unsigned count = engine_.TakeReportedCount();
  std::optional<ECommError> failure;
  for (unsigned slot = first; slot < first + count && slot <= AldTable::kMaxAld; ++slot) {
    try {
      list_.AddAldRow(static_cast<uint8_t>(slot));
    } catch (const ECommError& error) {
      if (!failure) failure = error;
    }
  }
  if (failure) failures_.Report(*failure, "adding the ALDs found");
  view_.RefreshDocumentLinks();
  view_.ActivateAldList();
}

bool BusTicker::RequestPoll() {
  return polls_.Request(list_.RowCount());
}

// The ticks do not count while a poll is asked for or under way, so the
// next poll starts 41 ticks after the last one ended, as when the tick
// itself polled.
void BusTicker::DecidePoll() {
  if (polls_.InFlight()) return;
  if (pollTick_ != kTicksPerPoll - 1) {
    ++pollTick_;
    return;
  }
  pollTick_ = 0;
  PollOptions o = options_ ? options_() : PollOptions{};
  if (list_.RowCount() > 0 && o.ScanAutoconnect == 1 && control_.ScanRequested() == 0 && o.EnablePolling == 1) {
    polls_.Request(list_.RowCount());
  }
}
