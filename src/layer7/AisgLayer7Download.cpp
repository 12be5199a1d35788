#include <algorithm>
#include <cstring>

#include "core/Clock.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/Vocabulary.h"

namespace {

uint8_t CodeOf(ProcedureId id) {
  return Vocabulary::ProcedureCodeOf(id);
}

uint8_t NextBlock(size_t remaining) {
  return static_cast<uint8_t>(std::min(remaining, AisgLayer7::kDownloadBlock));
}

}  // namespace

ResultCode AisgLayer7::DownloadStart(uint8_t address) {
  return Simple(address, L7Message::Make(CodeOf(kProcDownloadStart), {}));
}

ResultCode AisgLayer7::DownloadApplication(uint8_t address, const uint8_t* block, uint8_t length) {
  return SendBlock(address, CodeOf(kProcDownloadAppl), block, length);
}

ResultCode AisgLayer7::DownloadEnd(uint8_t address) {
  return Simple(address, L7Message::Make(CodeOf(kProcDownloadEnd), {}));
}

ResultCode AisgLayer7::RetSendConfigData(uint8_t address, const uint8_t* block, uint8_t length) {
  return SendBlock(address, CodeOf(kProcSingleRetSendConfigData), block, length);
}

// A block larger than the transfers cut would not fit the message buffer;
// it is refused before anything is sent.
ResultCode AisgLayer7::SendBlock(uint8_t address, uint8_t procedure, const uint8_t* block, uint8_t length) {
  if (length > kDownloadBlock) {
    log_.Write(kTraceError, classTag_, address, "Block of %u octets is longer than %zu", unsigned{length},
               kDownloadBlock);
    return kSoftwareError;
  }
  L7Message request = L7Message::Make(procedure, {});
  if (length > 0) std::memcpy(request.Data(), block, length);
  request.SetLength(length);
  return Simple(address, request);
}

namespace {

// Blocks of a download, reported as they go: how many of how many, and the
// time since the first.
class BlockProgress {
 public:
  BlockProgress(AisgLayer7& layer7, uint8_t address, uint8_t procedure, size_t size)
      : layer7_(layer7), start_(layer7.Time().NowMs()) {
    report_ = {ProgressReport::Kind::kBlocks, address, procedure};
    report_.Total = (size + AisgLayer7::kDownloadBlock - 1) / AisgLayer7::kDownloadBlock;
    report_.TotalOctets = size;
  }
  ~BlockProgress() {
    report_.Ended = true;
    Send();
  }
  void Sent(size_t octets) {
    ++report_.Done;
    report_.Octets = octets;
    Send();
  }
  void Send() {
    report_.ElapsedMs = layer7_.Time().NowMs() - start_;
    layer7_.ReportProgress(report_);
  }

 private:
  AisgLayer7& layer7_;
  uint64_t start_;
  ProgressReport report_;
};

}  // namespace

ResultCode AisgLayer7::TransferFirmware(uint8_t address, const uint8_t* image, size_t size) {
  BlockProgress progress(*this, address, Vocabulary::ProcedureCodeOf(kProcDownloadAppl), size);
  progress.Send();
  ResultCode result = DownloadStart(address);
  // The pause after the start gives the device time to get ready for blocks.
  if (result == kSuccess) clock_.SleepMs(kDownloadStartPauseMs);
  for (size_t sent = 0; result == kSuccess && sent < size;) {
    uint8_t length = NextBlock(size - sent);
    result = DownloadApplication(address, image + sent, length);
    if (result != kSuccess) break;
    sent += length;
    log_.Write(kTraceInfo, classTag_, address, "Downloading block Length: %d, remaining: %zu", length, size - sent);
    progress.Sent(sent);
    PumpMessages();
  }
  if (result == kSuccess) result = DownloadEnd(address);
  if (result != kSuccess) log_.Write(kTraceError, classTag_, address, "Firmware downloading failed!");
  return result;
}

ResultCode AisgLayer7::TransferConfigData(uint8_t address, const uint8_t* data, size_t size) {
  BlockProgress progress(*this, address, Vocabulary::ProcedureCodeOf(kProcSingleRetSendConfigData), size);
  progress.Send();
  for (size_t sent = 0; sent < size;) {
    uint8_t length = NextBlock(size - sent);
    ResultCode result = RetSendConfigData(address, data + sent, length);
    if (result != kSuccess) {
      log_.Write(kTraceError, classTag_, address, "Config File download failed!");
      return result;
    }
    sent += length;
    progress.Sent(sent);
    PumpMessages();
  }
  log_.Write(kTraceInfo, classTag_, address, "Config Data completed");
  return kSuccess;
}
