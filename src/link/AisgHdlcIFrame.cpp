#include <cstring>

#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "layer7/Vocabulary.h"
#include "link/AisgHdlc.h"
#include "link/HdlcControl.h"

using HdlcControl::Next;
using HdlcControl::Nr;

// What one round of an I-frame exchange came to: a result for the caller,
// or the N(S) the ALD expects, with which the frame is sent again.
struct AisgHdlc::IFrameStep {
  bool Resend;
  ResultCode Result;
  uint8_t Ns;

  static IFrameStep Done(ResultCode result) { return {false, result, 0}; }
  static IFrameStep SendAgain(ResultCode result, uint8_t ns) { return {true, result, ns}; }
};

// V(S) counts the frame as sent whatever its outcome, unless the ALD says
// which N(S) it expects: then V(S) follows the ALD, so that the next frame
// is not rejected.
ResultCode AisgHdlc::SendIFrame(uint8_t address, const uint8_t* message, uint8_t* answer) {
  unsigned messageLength = 3u + message[1];
  if (messageLength > kMaxMessage) {
    log_.Write(kTraceError, classTag_, address, "Message of %u octets does not fit in one frame", messageLength);
    return kSoftwareError;
  }
  AldRecord& ald = alds_.Record(address);
  std::vector<uint8_t> request(2 + messageLength);
  request[0] = address;
  std::memcpy(request.data() + 2, message, messageLength);
  uint8_t ns = ald.SendSeq;
  for (int sends = 0;; ++sends) {
    ald.SendSeq = Next(ns);
    IFrameStep step = SendIFrameOnce(address, ns, request, answer);
    if (!step.Resend) return step.Result;
    ald.SendSeq = step.Ns;
    if (sends == kIFrameRetries) {
      log_.Write(kTraceError, classTag_, address, "I-frame not received by the ALD, given up");
      return step.Result;
    }
    ns = step.Ns;
    log_.Write(kTraceWarning, classTag_, address, "I-frame not received by the ALD, sending it again as N(S) %u", ns);
  }
}

AisgHdlc::IFrameStep AisgHdlc::SendIFrameOnce(uint8_t address, uint8_t ns, std::vector<uint8_t>& request,
                                              uint8_t* answer) {
  uint8_t vr = alds_.Record(address).RecvSeq;
  request[1] = HdlcControl::IFrame(vr, ns);
  uint8_t frame[kAnswerBuffer];
  uint16_t length = 0;
  InSequence sequence{address, vr, Next(ns)};
  ResultCode result = ExchangeWith(address, request, frame, &length, false, &sequence);
  if (result == kSuccess) return JudgeIFrameAnswer(address, ns, frame, length, answer);
  return PollForIFrameAnswer(address, ns, result, answer);
}

// The ALD's own answer to the I-frame. Sequence numbers are read only from a
// reject, which names the frame the ALD wants.
AisgHdlc::IFrameStep AisgHdlc::JudgeIFrameAnswer(uint8_t address, uint8_t ns, const uint8_t* frame, uint16_t length,
                                                 uint8_t* answer) {
  uint8_t control = length >= 2 ? frame[1] : 0xFF;
  if (HdlcControl::IsReject(control)) {
    if (Nr(control) == Next(ns)) return IFrameStep::Done(kProcedureNotCompleted);
    return IFrameStep::SendAgain(kInvalidState, Nr(control));
  }
  switch (ClassifyControl(control)) {
    case FrameKind::I: TakeIFrame(address, frame, length, answer); return IFrameStep::Done(kSuccess);
    case FrameKind::RR:
    case FrameKind::RNR: return IFrameStep::Done(kProcedureNotCompleted);
    case FrameKind::DM:
      log_.Write(kTraceInfo, classTag_, address, "HDLC disconnect mode frame received");
      return IFrameStep::Done(kProtocolError);
    case FrameKind::Other: break;
  }
  return IFrameStep::Done(UnexpectedFrame(0));
}

// The answer was lost, garbled, late or came from elsewhere: a poll asks the
// ALD where it stands. It sends an answer it has not had acknowledged again,
// and its N(R) says whether it received the I-frame at all. A garbled answer
// shows that the ALD is there, so only silence ends the polling early. When
// no poll is answered either, the exchange's own failure stands.
AisgHdlc::IFrameStep AisgHdlc::PollForIFrameAnswer(uint8_t address, uint8_t ns, ResultCode failure, uint8_t* answer) {
  log_.Write(kTraceWarning, classTag_, address, "No answer to the I-frame (%s), polling for it",
             Vocabulary::ResultName(failure).c_str());
  int silent = 0;
  for (int polls = 0; polls < kIFrameRecoveryPolls && silent < kIFrameRetries; ++polls) {
    uint8_t frame[kAnswerBuffer];
    uint16_t length = 0;
    uint8_t vr = alds_.Record(address).RecvSeq;
    InSequence sequence{address, vr, std::nullopt};
    ResultCode r = ExchangeWith(address, {address, HdlcControl::Rr(vr)}, frame, &length, false, &sequence);
    if (r == kTimeout) ++silent;
    if (r != kSuccess) continue;
    IFrameStep step = JudgeRecoveryAnswer(address, ns, frame, length, answer);
    if (step.Resend) step.Result = failure;
    return step;
  }
  return IFrameStep::Done(failure);
}

// An I-frame that acknowledges ours came after it, yet it may be a message
// the ALD had queued rather than the answer: the caller tells them apart by
// the procedure, as it does with polls (Layer7 Notification). One that does
// not acknowledge ours was sent before ours arrived. Either is in sequence:
// the poll passed over any I-frame that was not.
AisgHdlc::IFrameStep AisgHdlc::JudgeRecoveryAnswer(uint8_t address, uint8_t ns, const uint8_t* frame, uint16_t length,
                                                   uint8_t* answer) {
  uint8_t control = length >= 2 ? frame[1] : 0xFF;
  bool received = Nr(control) == Next(ns);
  FrameKind kind = ClassifyControl(control);
  if (kind == FrameKind::I) {
    if (received) {
      TakeIFrame(address, frame, length, answer);
      return IFrameStep::Done(kLayer7Notification);
    }
    AldRecord& ald = alds_.Record(address);
    ald.RecvSeq = Next(ald.RecvSeq);
    log_.Write(kTraceWarning, classTag_, address,
               "Message from the ALD dropped: it was sent before the I-frame arrived");
    return IFrameStep::SendAgain(kTimeout, Nr(control));
  }
  if (HdlcControl::IsSupervisory(control)) {
    return received ? IFrameStep::Done(kProcedureNotCompleted) : IFrameStep::SendAgain(kTimeout, Nr(control));
  }
  if (kind == FrameKind::DM) {
    log_.Write(kTraceInfo, classTag_, address, "HDLC disconnect mode frame received");
    return IFrameStep::Done(kProtocolError);
  }
  return IFrameStep::Done(UnexpectedFrame(address));
}
