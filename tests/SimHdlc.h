#pragma once

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

  uint32_t Write(const uint8_t* data, uint32_t length) override {
    if (unplugged) throw ECommError(ECommError::kWrite, log_, EIO);
    ++exchanges;
    Note(data, length);
    if (onWrite) onWrite();
    sim_.Transmit(data, length);
    return length;
  }
  uint32_t Read(uint8_t* buffer, uint32_t capacity) override { return sim_.Receive(buffer, capacity); }

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

 private:
  void Note(const uint8_t* data, uint32_t length) {
    uint8_t out[HdlcCodec::kMaxDecoded];
    HdlcCodec::Decoded d = HdlcCodec::Decode(data, static_cast<uint16_t>(length), out);
    std::vector<uint8_t> content(out, out + d.Length);
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.push_back(content);
    // FF BF 81 F0 GL 01 n pattern 03 n mask
    if (content.size() < 7 || content[0] != 0xFF || content[1] != 0xBF || content[5] != 0x01) return;
    size_t n = content[6];
    if (content.size() < 9 + 2 * n || content[7 + n] != 0x03) return;
    scans_.push_back(std::to_string(n) + " " + ToHex(&content[7], n) + "/" + ToHex(&content[9 + n], n));
  }

  TraceLog& log_;
  SimLink sim_;
  std::mutex mutex_;
  std::vector<std::string> scans_;
  std::vector<std::vector<uint8_t>> frames_;
};
