#include "cli/CliWaitLine.h"

#include "ald/AldRecord.h"
#include "core/Clock.h"
#include "core/MessagePump.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"

CliWaitLine::CliWaitLine(std::ostream* out, Clock& clock, const AldRecord& ald, std::string label,
                         uint8_t procedureCode)
    : out_(out),
      clock_(clock),
      ald_(ald),
      label_(std::move(label)),
      startMs_(clock.NowMs()),
      timeoutS_(Vocabulary::ProcedureTimeout(procedureCode) * AisgLayer7::kPollIntervalMs / 1000) {
  if (out_ == nullptr) return;
  SetPumpMessagesHook([this] {
    if (ald_.Busy) Draw();
  });
}

CliWaitLine::~CliWaitLine() {
  if (out_ == nullptr) return;
  SetPumpMessagesHook(nullptr);
  if (drawn_) *out_ << "\n" << std::flush;
}

void CliWaitLine::Draw() {
  uint64_t waited = (clock_.NowMs() - startMs_) / 1000;
  if (waited == shownS_) return;
  shownS_ = waited;
  *out_ << "\r" << label_ << ": " << waited << " s of at most " << timeoutS_ << " s" << std::flush;
  drawn_ = true;
}
