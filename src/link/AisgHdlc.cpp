#include "link/AisgHdlc.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/TraceLog.h"
#include "link/HdlcControl.h"
#include "link/LinkObserver.h"
#include "serial/AdapterDetector.h"

namespace {
std::atomic<AdapterDetector*> instanceAdapterSearch{nullptr};
}  // namespace

AisgHdlc::AisgHdlc(TraceLog& log, AldTable& table, AdapterDetector* adapterSearch)
    : AisgSerial(log, table), log_(log), alds_(table), classTag_(TraceClass::kHdlc) {
  if (adapterSearch != nullptr) adapterSearch->FindAdapterPort();
  HdlcCodec::FcsTable();
}

void AisgHdlc::SetInstanceAdapterSearch(AdapterDetector* search) {
  instanceAdapterSearch = search;
}

AisgHdlc& AisgHdlc::Instance() {
  static AisgHdlc* link = new AisgHdlc(TraceLog::Instance(), AldTable::Instance(), instanceAdapterSearch.load());
  return *link;
}

int AisgHdlc::ConfigurePort(const std::string& name, uint32_t baud) {
  log_.Write(kTraceInfo, classTag_, 0, "Configuring port '%s'", name.c_str());
  SetPortName(name);
  Open();
  SetBaudRate(baud);
  return 1;
}

void AisgHdlc::EncodeFrame(const uint8_t* content, uint16_t length, uint8_t* out, uint16_t* outLength) {
  *outLength = HdlcCodec::Encode(content, length, out);
}

ResultCode AisgHdlc::DecodeFrame(const uint8_t* raw, uint8_t* out, uint16_t rawLength, uint16_t* outLength) {
  HdlcCodec::Decoded d = HdlcCodec::Decode(raw, rawLength, out);
  if (d.Warn) log_.Write(kTraceWarning, classTag_, 0, "Invalid hdlc frame received");
  *outLength = d.Length;
  return d.Result;
}

FrameKind AisgHdlc::ClassifyControl(uint8_t control) {
  if ((control & 0x01) == 0) return FrameKind::I;
  if ((control & 0x03) == 0x01) {
    switch ((control >> 2) & 0x03) {
      case 0: return FrameKind::RR;
      case 1: return FrameKind::RNR;
      default: return FrameKind::Other;
    }
  }
  return (control & ~0x10) == 0x0F ? FrameKind::DM : FrameKind::Other;
}

ResultCode AisgHdlc::Exchange(const uint8_t* request, uint8_t* answer, uint16_t* length) {
  std::lock_guard<std::mutex> lock(busMutex_);
  return ExchangeLocked(request, answer, length);
}

void AisgHdlc::SetExchangeTiming(bool fast, uint32_t guardMs) {
  fastExchanges_ = fast;
  guardMs_ = guardMs;
}

// Three octets of line time at the port's rate is the least any transceiver
// needs to turn round.
std::chrono::microseconds AisgHdlc::GuardTime() const {
  uint64_t baud = std::max<uint32_t>(1, BaudRate());
  uint64_t threeOctetsUs = (3 * 10 * 1000000 + baud - 1) / baud;
  return std::chrono::microseconds(std::max<uint64_t>(uint64_t{guardMs_.load()} * 1000, threeOctetsUs));
}

// Whatever arrives between two exchanges answers neither: a second frame or
// stray octets after an answer, or an answer that came too late. Taken with
// the next answer it would be read as that answer, so it goes now. After an
// answer that ended with its frame, the guard time is spent here too.
void AisgHdlc::ClearLine() {
  auto until = std::chrono::steady_clock::now();
  if (auto completed = AnswerCompletedAt()) until = std::max(until, *completed + GuardTime());
  uint32_t discarded = DiscardInput(until);
  if (discarded > 0) {
    log_.Write(kTraceWarning, classTag_, 0, "%u octets received between exchanges discarded", discarded);
  }
}

// Octets before an answer's opening flag came late from an earlier answer or
// are noise; the answer is the frame that follows them.
uint32_t AisgHdlc::SkipNoise(const uint8_t* rx, uint32_t received) {
  uint32_t start = 0;
  while (start < received && rx[start] != HdlcCodec::kFlag) ++start;
  if (start == 0 || start == received) return 0;
  log_.Write(kTraceWarning, classTag_, 0, "%u octets before the answer's frame discarded", start);
  return start;
}

// The caller's answer buffer needs only the content: decoding happens in a
// buffer of our own, so no frame on the wire can write past it.
ResultCode AisgHdlc::ExchangeLocked(const uint8_t* request, uint8_t* answer, uint16_t* length, bool untilFrame,
                                    const InSequence* sequence) {
  if (*length > HdlcCodec::kMaxContent) {
    log_.Write(kTraceError, classTag_, 0, "Request of %u octets does not fit in one frame", *length);
    *length = 0;
    return kSoftwareError;
  }
  uint8_t tx[HdlcCodec::kBufferSize] = {};
  uint16_t txLength = 0;
  EncodeFrame(request, *length, tx, &txLength);
  bool fast = FastExchanges();
  if (fast) ClearLine();
  Write(tx, txLength);
  bool byFrame = fast && untilFrame;
  uint8_t decoded[HdlcCodec::kMaxDecoded] = {};
  ResultCode result = ReadAnswerFrame(byFrame, false, decoded, length);
  // The time-out bounds the search on a real line; the count bounds it on
  // a port that always has something to read.
  constexpr int kMostPassedOver = 8;
  for (int passed = 0; result == kSuccess && sequence != nullptr && OutOfSequence(decoded, *length, *sequence);) {
    if (++passed > kMostPassedOver) {
      *length = 0;
      return kTimeout;
    }
    result = ReadAnswerFrame(byFrame, true, decoded, length);
  }
  std::memcpy(answer, decoded, *length);
  return result;
}

ResultCode AisgHdlc::ReadAnswerFrame(bool byFrame, bool readOn, uint8_t* decoded, uint16_t* length) {
  uint8_t rx[HdlcCodec::kBufferSize] = {};
  AnswerEnd end = byFrame ? &HdlcCodec::FrameEnd : nullptr;
  uint32_t read = readOn ? ReadOn(rx, HdlcCodec::kBufferSize, end) : ReadAnswer(rx, HdlcCodec::kBufferSize, end);
  uint32_t received = std::min<uint32_t>(read, HdlcCodec::kBufferSize);
  lastReadFull_ = received == HdlcCodec::kBufferSize;
  *length = 0;
  if (received == 0) return kTimeout;
  uint32_t start = byFrame ? SkipNoise(rx, received) : 0;
  return DecodeFrame(rx + start, decoded, static_cast<uint16_t>(received - start), length);
}

// An I-frame that repeats one already taken, or that the ALD sent before
// this request reached it, came late from an earlier exchange; taken now it
// would stand for the answer, and the answer would be lost. Frames from
// other addresses are the caller's to refuse.
bool AisgHdlc::OutOfSequence(const uint8_t* frame, uint16_t length, const InSequence& sequence) {
  if (length < 2 || frame[0] != sequence.Address || ClassifyControl(frame[1]) != FrameKind::I) return false;
  uint8_t ns = HdlcControl::Ns(frame[1]);
  uint8_t nr = HdlcControl::Nr(frame[1]);
  if (ns == sequence.Ns && (!sequence.Nr || nr == *sequence.Nr)) return false;
  log_.Write(kTraceWarning, classTag_, sequence.Address,
             "I-frame with N(S) %u N(R) %u passed over: the answer carries N(S) %u%s", ns, nr, sequence.Ns,
             sequence.Nr ? (" N(R) " + std::to_string(*sequence.Nr)).c_str() : "");
  return true;
}

ResultCode AisgHdlc::ExchangeFrame(const std::vector<uint8_t>& request, uint8_t* answer, uint16_t* length,
                                   bool untilFrame, const InSequence* sequence) {
  *length = static_cast<uint16_t>(request.size());
  std::lock_guard<std::mutex> lock(busMutex_);
  return ExchangeLocked(request.data(), answer, length, untilFrame, sequence);
}

// Every device a broadcast names may answer it. Devices that wait for a
// quiet line answer one after the other, and on a big bus their answers go
// on long after the read is full; the next request must not take what is
// left of them for its own answer.
ResultCode AisgHdlc::ExchangeBroadcast(const std::vector<uint8_t>& request, uint8_t* answer, uint16_t* length) {
  std::lock_guard<std::mutex> lock(busMutex_);
  *length = static_cast<uint16_t>(request.size());
  ResultCode result = ExchangeLocked(request.data(), answer, length);
  if (lastReadFull_) AwaitQuietLine();
  return result;
}

// Reads until a read ends in silence rather than a full buffer; bounded, so
// that a device that never stops sending cannot hold the bus for ever.
void AisgHdlc::AwaitQuietLine() {
  constexpr int kMaxReads = 256;  // about the answers of a thousand devices
  log_.Write(kTraceInfo, classTag_, 0, "Answers go on; waiting for a quiet line");
  uint8_t rx[HdlcCodec::kBufferSize];
  for (int i = 0; i < kMaxReads; ++i) {
    if (Read(rx, HdlcCodec::kBufferSize) < HdlcCodec::kBufferSize) return;
  }
}

void AisgHdlc::AddLinkObserver(LinkObserver* observer) {
  std::lock_guard<std::mutex> lock(observerMutex_);
  observers_.push_back(observer);
}

void AisgHdlc::RemoveLinkObserver(LinkObserver* observer) {
  std::lock_guard<std::mutex> lock(observerMutex_);
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void AisgHdlc::NotifyLinkLost(uint8_t address) {
  std::vector<LinkObserver*> observers;
  {
    std::lock_guard<std::mutex> lock(observerMutex_);
    observers = observers_;
  }
  for (LinkObserver* o : observers) o->OnLinkLost(address);
}
