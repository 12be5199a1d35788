#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "layer7/ResultCode.h"
#include "link/FrameKind.h"
#include "link/HdlcCodec.h"
#include "serial/AisgSerial.h"

class AldTable;
struct AldRecord;
class LinkObserver;
class TraceLog;

// The primary station's link layer: every exchange (one frame written, one
// read) runs under the bus mutex, so exchanges from the worker thread and
// the user-interface thread never overlap on the port. Every operation is
// one exchange, except that SendIFrame takes more to recover a lost answer.
class AdapterDetector;

class AisgHdlc : public AisgSerial {
 public:
  // Answer buffers handed to the link layer must hold this many octets.
  static constexpr uint16_t kAnswerBuffer = HdlcCodec::kMaxDecoded;
  // Longest layer-7 message an I-frame carries (3 header octets + 76 data).
  static constexpr uint16_t kMaxMessage = 79;
  // When an I-frame's answer is lost, garbled or late, the ALD is polled for
  // it until this many polls went unanswered, or at most kIFrameRecoveryPolls
  // times while it answers garbled; the I-frame is sent again at most
  // kIFrameRetries times when the ALD did not receive it.
  static constexpr int kIFrameRetries = 2;
  static constexpr int kIFrameRecoveryPolls = 6;
  // Time the RS-485 transceivers are given to release the line after an
  // answer's closing flag before the next request goes out.
  static constexpr uint32_t kDefaultGuardMs = 5;

  // Creating the link searches for the RS-485 adapter once, when a search
  // is given, so that the settings can take over the port it found.
  AisgHdlc(TraceLog& log, AldTable& table, AdapterDetector* adapterSearch = nullptr);
  static AisgHdlc& Instance();
  // The search the application's link runs when Instance creates it; set
  // before the first Instance call (the application has the platform's port
  // inventory, this layer does not).
  static void SetInstanceAdapterSearch(AdapterDetector* search);

  // Always 1; the outcome is LastError, empty on success.
  int ConfigurePort(const std::string& name, uint32_t baud);

  static void EncodeFrame(const uint8_t* content, uint16_t length, uint8_t* out, uint16_t* outLength);
  ResultCode DecodeFrame(const uint8_t* raw, uint8_t* out, uint16_t rawLength, uint16_t* outLength);
  // On entry *length is the request's content length; on return the answer's.
  ResultCode Exchange(const uint8_t* request, uint8_t* answer, uint16_t* length);
  static FrameKind ClassifyControl(uint8_t control);

  // With fast exchanges on, an exchange with one addressed device ends as
  // soon as its answer frame is complete, and the next request waits the
  // guard time (never less than three octets on the line) after it;
  // octets that arrive between exchanges are traced and thrown away. Off,
  // every answer is believed only after 50 ms of silence. Any thread.
  void SetExchangeTiming(bool fast, uint32_t guardMs);
  bool FastExchanges() const { return fastExchanges_.load(); }
  uint32_t GuardMs() const { return guardMs_.load(); }

  // Discovery and addressing.
  ResultCode ResetRequest();
  ResultCode XidScan(const uint8_t* pattern, const uint8_t* mask, uint8_t length, AldRecord* record);
  ResultCode AssignAddress(uint8_t slot);
  ResultCode ProtocolVersion(uint8_t address);

  // Connection, I-frames and polls. Only an answer from the address asked
  // counts; only UA confirms Connect and Disconnect. SendIFrame recovers a
  // lost, garbled or late answer by polling for it, and sends the I-frame
  // again with the same N(S) when the ALD says it did not receive it; an
  // I-frame that such a poll brings is returned as Layer7 Notification, since
  // it may be a message the ALD had queued rather than the answer.
  ResultCode Connect(uint8_t address);
  ResultCode Disconnect(uint8_t address);
  ResultCode SendIFrame(uint8_t address, const uint8_t* message, uint8_t* answer);
  ResultCode Poll(uint8_t address, uint8_t* payload);

  void AddLinkObserver(LinkObserver* observer);
  void RemoveLinkObserver(LinkObserver* observer);

  AldTable& Alds() { return alds_; }

 private:
  // What an I-frame from the ALD must carry to answer this exchange rather
  // than be an older frame come late: N(S) equal to V(R) and, after an
  // I-frame of ours, the N(R) that acknowledges it.
  struct InSequence {
    uint8_t Address;
    uint8_t Ns;
    std::optional<uint8_t> Nr;
  };

  ResultCode ExchangeLocked(const uint8_t* request, uint8_t* answer, uint16_t* length, bool untilFrame = false,
                            const InSequence* sequence = nullptr);
  ResultCode ReadAnswerFrame(bool byFrame, bool readOn, uint8_t* decoded, uint16_t* length);
  bool OutOfSequence(const uint8_t* frame, uint16_t length, const InSequence& sequence);
  void ClearLine();
  uint32_t SkipNoise(const uint8_t* rx, uint32_t received);
  std::chrono::microseconds GuardTime() const;
  ResultCode ExchangeFrame(const std::vector<uint8_t>& request, uint8_t* answer, uint16_t* length,
                           bool untilFrame = false, const InSequence* sequence = nullptr);
  ResultCode ExchangeBroadcast(const std::vector<uint8_t>& request, uint8_t* answer, uint16_t* length);
  void AwaitQuietLine();
  ResultCode ExchangeQuietly(const std::vector<uint8_t>& request, uint8_t* answer, uint16_t* length, bool untilFrame,
                             const InSequence* sequence);
  // An exchange with the ALD at address: an answer from another address is
  // no answer (traced, Protocol Error). Given a sequence, an I-frame out of
  // it is traced and passed over, and the read goes on for the answer.
  ResultCode ExchangeWith(uint8_t address, const std::vector<uint8_t>& request, uint8_t* answer, uint16_t* length,
                          bool quiet = false, const InSequence* sequence = nullptr);
  ResultCode ScanResponse(const uint8_t* answer, uint16_t length, AldRecord& record);
  ResultCode AssignAddressResponse(uint8_t slot, const uint8_t* answer, uint16_t length, bool* namesAld);
  ResultCode ProtocolVersionResponse(uint8_t address, const uint8_t* answer, uint16_t length, uint8_t* version);
  ResultCode FormatError(const char* parser, uint8_t aldNumber);
  ResultCode Acknowledged(uint8_t address, const uint8_t* answer, uint16_t length);
  ResultCode PollAnswer(uint8_t address, const uint8_t* answer, uint16_t length, uint8_t* payload);
  ResultCode UnexpectedFrame(uint8_t aldNumber);
  void TakeIFrame(uint8_t address, const uint8_t* frame, uint16_t length, uint8_t* info);
  void CountMissedPoll(uint8_t address);
  void NotifyLinkLost(uint8_t address);

  // The I-frame exchange and its recovery.
  struct IFrameStep;
  IFrameStep SendIFrameOnce(uint8_t address, uint8_t ns, std::vector<uint8_t>& request, uint8_t* answer);
  IFrameStep JudgeIFrameAnswer(uint8_t address, uint8_t ns, const uint8_t* frame, uint16_t length, uint8_t* answer);
  IFrameStep PollForIFrameAnswer(uint8_t address, uint8_t ns, ResultCode failure, uint8_t* answer);
  IFrameStep JudgeRecoveryAnswer(uint8_t address, uint8_t ns, const uint8_t* frame, uint16_t length, uint8_t* answer);

  TraceLog& log_;
  AldTable& alds_;
  const char* classTag_;
  std::mutex busMutex_;
  bool lastReadFull_ = false;  // guarded by busMutex_: the last answer filled the whole read
  std::atomic<bool> fastExchanges_{true};
  std::atomic<uint32_t> guardMs_{kDefaultGuardMs};
  std::mutex observerMutex_;
  std::vector<LinkObserver*> observers_;
};
