#include <cstring>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/TraceLog.h"
#include "link/AisgHdlc.h"

namespace {

constexpr uint8_t kSnrm = 0x93;
constexpr uint8_t kDisc = 0x53;
constexpr uint8_t kMissedPollsBeforeLoss = 5;

uint8_t Next(uint8_t seq) {
  return static_cast<uint8_t>((seq + 1) % 8);
}

}  // namespace

ResultCode AisgHdlc::Connect(uint8_t address) {
  AldRecord& ald = alds_.Record(address);
  ald.RecvSeq = 0;
  ald.SendSeq = 0;
  log_.Write(kTraceInfo, classTag_, address, "Connect Request");
  uint8_t answer[kAnswerBuffer];
  uint16_t length = 0;
  ResultCode result = ExchangeFrame({address, kSnrm}, answer, &length);
  if (result == kSuccess) ald.State = kStateConnected;
  return result;
}

ResultCode AisgHdlc::Disconnect(uint8_t address) {
  log_.Write(kTraceInfo, classTag_, address, "Disconnect Request");
  uint8_t answer[kAnswerBuffer];
  uint16_t length = 0;
  ResultCode result = ExchangeFrame({address, kDisc}, answer, &length);
  if (result == kSuccess) alds_.Record(address).State = kStateDisconnected;
  return result;
}

ResultCode AisgHdlc::SendIFrame(uint8_t address, const uint8_t* message, uint8_t* answer) {
  unsigned messageLength = 3u + message[1];
  if (messageLength > kMaxMessage) {
    log_.Write(kTraceError, classTag_, address, "Message of %u octets does not fit in one frame", messageLength);
    return kSoftwareError;
  }
  AldRecord& ald = alds_.Record(address);
  std::vector<uint8_t> request(2 + messageLength);
  request[0] = address;
  request[1] = static_cast<uint8_t>(0x10 + 32 * ald.RecvSeq + 2 * ald.SendSeq);
  std::memcpy(request.data() + 2, message, messageLength);
  ald.SendSeq = Next(ald.SendSeq);
  uint8_t frame[kAnswerBuffer];
  uint16_t length = 0;
  ResultCode result = ExchangeFrame(request, frame, &length);
  if (result != kSuccess) return result;
  return AnswerKind(address, frame, length, answer, false);
}

ResultCode AisgHdlc::Poll(uint8_t address, uint8_t* payload) {
  AldRecord& ald = alds_.Record(address);
  uint8_t frame[kAnswerBuffer];
  uint16_t length = 0;
  ResultCode result = ExchangeQuietly({address, static_cast<uint8_t>(0x11 + 32 * ald.RecvSeq)}, frame, &length);
  if (result != kSuccess) {
    CountMissedPoll(address);
    return result;
  }
  ald.MissedPolls = 0;
  return AnswerKind(address, frame, length, payload, true);
}

// With the POLL class suppressed, the poll's own port lines and decoder
// warnings stay out of the trace. Only this thread's lines of this one
// exchange are kept quiet: the other thread traces on, and a port failure
// still reports itself and leaves the trace as it was.
ResultCode AisgHdlc::ExchangeQuietly(const std::vector<uint8_t>& request, uint8_t* answer, uint16_t* length) {
  if (!log_.IsClassSuppressed(TraceClass::kPoll)) return ExchangeFrame(request, answer, length);
  TraceLog::QuietLines quiet(log_);
  return ExchangeFrame(request, answer, length);
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
ResultCode AisgHdlc::AnswerKind(uint8_t address, const uint8_t* frame, uint16_t length, uint8_t* info, bool polling) {
  uint8_t control = length >= 2 ? frame[1] : 0xFF;
  switch (ClassifyControl(control)) {
    case FrameKind::I: {
      AldRecord& ald = alds_.Record(address);
      ald.RecvSeq = Next(ald.RecvSeq);
      std::memcpy(info, frame + 2, length - 2u);
      return polling ? kLayer7Notification : kSuccess;
    }
    case FrameKind::RR: return polling ? kSuccess : kProcedureNotCompleted;
    case FrameKind::RNR:
      if (!polling) return kProcedureNotCompleted;
      log_.Write(kTraceInfo, classTag_, address, "HDLC RNR frame received");
      return kSuccess;
    case FrameKind::DM:
      log_.Write(kTraceInfo, classTag_, address, "HDLC disconnect mode frame received");
      return kProtocolError;
    case FrameKind::Other: break;
  }
  log_.Write(kTraceWarning, classTag_, polling ? address : 0, "Invalid frame received in this contest");
  return kInvalidState;
}
