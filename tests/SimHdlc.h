#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Hex.h"
#include "core/TraceLog.h"
#include "link/AisgHdlc.h"
#include "link/HdlcCodec.h"
#include "serial/ECommError.h"
#include "sim/SimLink.h"
#include "sim/VirtualBus.h"

// The link layer over the in-process simulated bus: every exchange reaches
// the devices at once and costs no time. Unplugged plays the adapter pulled
// out: every write then fails as the serial port's would.
class SimHdlc : public AisgHdlc {
 public:
  SimHdlc(TraceLog& log, AldTable& table, VirtualBus& bus) : AisgHdlc(log, table), log_(log), sim_(bus) {}

  // What becomes of the answer to one frame on its way back.
  enum class AnswerFault { kNone, kLost, kLate, kGarbled };

  uint32_t Write(const uint8_t* data, uint32_t length) override {
    if (unplugged) throw ECommError(ECommError::kWrite, log_, EIO);
    ++exchanges;
    std::vector<uint8_t> content = Note(data, length);
    if (onWrite) onWrite();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fault_ = answerFault ? answerFault(content) : AnswerFault::kNone;
    }
    sim_.Transmit(data, length);
    return length;
  }
  // A late answer misses its own read and arrives ahead of the next one's
  // answer; a garbled one arrives with a broken FCS.
  uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
    std::vector<uint8_t> got(capacity);
    got.resize(sim_.Receive(got.data(), capacity));
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> out;
    out.swap(late_);
    switch (fault_) {
      case AnswerFault::kNone: break;
      case AnswerFault::kLost: got.clear(); break;
      case AnswerFault::kLate: late_.swap(got); break;
      case AnswerFault::kGarbled:
        if (got.size() > 2) got[got.size() / 2] = got[got.size() / 2] == 0x55 ? 0x56 : 0x55;
        break;
    }
    fault_ = AnswerFault::kNone;
    out.insert(out.end(), got.begin(), got.end());
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(out.size(), capacity));
    std::copy(out.begin(), out.begin() + n, buffer);
    return n;
  }

  // The XID device scans sent so far, as "length pattern/mask" in hex, e.g.
  // "1 00/10" for a one-octet scan with pattern 0x00 and mask 0x10.
  std::vector<std::string> Scans() {
    std::lock_guard<std::mutex> lock(mutex_);
    return scans_;
  }
  // Contents of every frame written, in order.
  std::vector<std::vector<uint8_t>> Frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }

  std::atomic<bool> unplugged{false};
  std::atomic<uint64_t> exchanges{0};
  std::function<void()> onWrite;
  // Given the content of each frame written, what happens to its answer.
  std::function<AnswerFault(const std::vector<uint8_t>&)> answerFault;

 private:
  std::vector<uint8_t> Note(const uint8_t* data, uint32_t length) {
    uint8_t out[HdlcCodec::kMaxDecoded];
    HdlcCodec::Decoded d = HdlcCodec::Decode(data, static_cast<uint16_t>(length), out);
    std::vector<uint8_t> content(out, out + d.Length);
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.push_back(content);
    // FF BF 81 F0 GL 01 n pattern 03 n mask
    if (content.size() < 7 || content[0] != 0xFF || content[1] != 0xBF || content[5] != 0x01) return content;
    size_t n = content[6];
    if (content.size() < 9 + 2 * n || content[7 + n] != 0x03) return content;
    scans_.push_back(std::to_string(n) + " " + ToHex(&content[7], n) + "/" + ToHex(&content[9 + n], n));
    return content;
  }

  TraceLog& log_;
  SimLink sim_;
  std::mutex mutex_;
  std::vector<std::string> scans_;
  std::vector<std::vector<uint8_t>> frames_;
  AnswerFault fault_ = AnswerFault::kNone;
  std::vector<uint8_t> late_;
};
