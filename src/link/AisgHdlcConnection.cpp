#include <cstring>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/TraceLog.h"
#include "link/AisgHdlc.h"
#include "link/HdlcControl.h"

namespace {

constexpr uint8_t kMissedPollsBeforeLoss = 5;

}  // namespace

using HdlcControl::Next;

ResultCode AisgHdlc::Connect(uint8_t address) {
  AldRecord& ald = alds_.Record(address);
  ald.RecvSeq = 0;
  ald.SendSeq = 0;
  log_.Write(kTraceInfo, classTag_, address, "Connect Request");
  uint8_t answer[kAnswerBuffer];
  uint16_t length = 0;
  ResultCode result = ExchangeWith(address, {address, HdlcControl::kSnrm}, answer, &length);
  if (result == kSuccess) result = Acknowledged(address, answer, length);
  if (result != kSuccess) return result;
  // A new link has missed no polls: the count that declared the ALD lost
  // would otherwise lose it again at its first missed poll.
  ald.MissedPolls = 0;
  ald.State = kStateConnected;
  return result;
}

ResultCode AisgHdlc::Disconnect(uint8_t address) {
  log_.Write(kTraceInfo, classTag_, address, "Disconnect Request");
  uint8_t answer[kAnswerBuffer];
  uint16_t length = 0;
  ResultCode result = ExchangeWith(address, {address, HdlcControl::kDisc}, answer, &length);
  if (result == kSuccess) result = Acknowledged(address, answer, length);
  if (result == kSuccess) alds_.Record(address).State = kStateDisconnected;
  return result;
}

// Only UA accepts SNRM or DISC: DM says the ALD refuses the link, and any
// other frame answers something else.
ResultCode AisgHdlc::Acknowledged(uint8_t address, const uint8_t* answer, uint16_t length) {
  uint8_t control = length >= 2 ? answer[1] : 0xFF;
  if (HdlcControl::IsUa(control)) return kSuccess;
  if (ClassifyControl(control) == FrameKind::DM) {
    log_.Write(kTraceInfo, classTag_, address, "HDLC disconnect mode frame received");
    return kProtocolError;
  }
  return UnexpectedFrame(address);
}

ResultCode AisgHdlc::Poll(uint8_t address, uint8_t* payload) {
  AldRecord& ald = alds_.Record(address);
  uint8_t frame[kAnswerBuffer];
  uint16_t length = 0;
  InSequence sequence{address, ald.RecvSeq, std::nullopt};
  ResultCode result = ExchangeWith(address, {address, HdlcControl::Rr(ald.RecvSeq)}, frame, &length, true, &sequence);
  if (result != kSuccess) {
    CountMissedPoll(address);
    return result;
  }
  ald.MissedPolls = 0;
  return PollAnswer(address, frame, length, payload);
}

// With the POLL class suppressed, the poll's own port lines and decoder
// warnings stay out of the trace. Only this thread's lines of this one
// exchange are kept quiet: the other thread traces on, and a port failure
// still reports itself and leaves the trace as it was.
ResultCode AisgHdlc::ExchangeQuietly(const std::vector<uint8_t>& request, uint8_t* answer, uint16_t* length,
                                     bool untilFrame, const InSequence* sequence) {
  if (!log_.IsClassSuppressed(TraceClass::kPoll)) return ExchangeFrame(request, answer, length, untilFrame, sequence);
  TraceLog::QuietLines quiet(log_);
  return ExchangeFrame(request, answer, length, untilFrame, sequence);
}

// On a bus of several devices an answer from another address is not this
// ALD's answer, whatever it says. Only this ALD answers, so its answer is
// over with its frame; an XID exchange, even to one address, keeps to the
// silence that ends the scan's exchanges.
ResultCode AisgHdlc::ExchangeWith(uint8_t address, const std::vector<uint8_t>& request, uint8_t* answer,
                                  uint16_t* length, bool quiet, const InSequence* sequence) {
  bool untilFrame = request.size() < 2 || request[1] != HdlcControl::kXid;
  ResultCode result = quiet ? ExchangeQuietly(request, answer, length, untilFrame, sequence)
                            : ExchangeFrame(request, answer, length, untilFrame, sequence);
  if (result != kSuccess || *length == 0 || answer[0] == address) return result;
  log_.Write(kTraceWarning, classTag_, address, "Answer from address %u ignored, the frame was for address %u",
             answer[0], address);
  return kProtocolError;
}

void AisgHdlc::CountMissedPoll(uint8_t address) {
  AldRecord& ald = alds_.Record(address);
  uint8_t before = ald.MissedPolls;
  if (before < 0xFF) ald.MissedPolls = static_cast<uint8_t>(before + 1);
  if (before < kMissedPollsBeforeLoss) return;
  log_.Write(kTraceError, classTag_, address, "Device lost polling");
  ald.State = kStateDisconnected;
  log_.Write(kTraceInfo, classTag_, address, "Communication Lost");
  NotifyLinkLost(address);
}

// A content too short to hold a control octet counts as a frame that does
// not belong here.
ResultCode AisgHdlc::PollAnswer(uint8_t address, const uint8_t* frame, uint16_t length, uint8_t* payload) {
  uint8_t control = length >= 2 ? frame[1] : 0xFF;
  switch (ClassifyControl(control)) {
    case FrameKind::I: TakeIFrame(address, frame, length, payload); return kLayer7Notification;
    case FrameKind::RR: return kSuccess;
    case FrameKind::RNR: log_.Write(kTraceInfo, classTag_, address, "HDLC RNR frame received"); return kSuccess;
    case FrameKind::DM:
      log_.Write(kTraceInfo, classTag_, address, "HDLC disconnect mode frame received");
      return kProtocolError;
    case FrameKind::Other: break;
  }
  return UnexpectedFrame(address);
}

ResultCode AisgHdlc::UnexpectedFrame(uint8_t aldNumber) {
  log_.Write(kTraceWarning, classTag_, aldNumber, "Invalid frame received in this contest");
  return kInvalidState;
}

void AisgHdlc::TakeIFrame(uint8_t address, const uint8_t* frame, uint16_t length, uint8_t* info) {
  AldRecord& ald = alds_.Record(address);
  ald.RecvSeq = Next(ald.RecvSeq);
  std::memcpy(info, frame + 2, length - 2u);
}
