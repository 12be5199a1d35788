#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "link/AisgHdlc.h"
#include "link/HdlcCodec.h"

// The link layer with its port replaced by a script: every Write is recorded,
// every Read returns the next scripted raw answer (nothing when the script is
// empty), so exchanges run in-process and without time.
class ScriptedHdlc : public AisgHdlc {
 public:
  ScriptedHdlc(TraceLog& log, AldTable& table) : AisgHdlc(log, table), log_(log) {}

  uint32_t Write(const uint8_t* data, uint32_t length) override {
    if (traceOctets) TraceOctets("TX", data, length);
    written.emplace_back(data, data + length);
    if (onWrite) onWrite(written.back());
    return length;
  }

  uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
    if (answers.empty()) return 0;
    std::vector<uint8_t> raw = answers.front().InSequence ? Sequenced(answers.front().Raw) : answers.front().Raw;
    answers.pop_front();
    uint32_t n = raw.size() < capacity ? static_cast<uint32_t>(raw.size()) : capacity;
    std::copy(raw.begin(), raw.begin() + n, buffer);
    if (traceOctets) TraceOctets("RX", buffer, n);
    return n;
  }

  // Queues the framed content as the answer to a later read.
  void AnswerFrame(const std::vector<uint8_t>& content) { answers.push_back({Frame(content), false}); }
  void AnswerRaw(const std::vector<uint8_t>& raw) { answers.push_back({raw, false}); }
  void AnswerNothing() { answers.push_back({{}, false}); }
  // Queues an I-frame whose sequence numbers are filled in when it is read,
  // as the device would number its answer to the request written last.
  void AnswerIFrameInSequence(const std::vector<uint8_t>& content) { answers.push_back({Frame(content), true}); }

  static std::vector<uint8_t> Frame(const std::vector<uint8_t>& content) {
    std::vector<uint8_t> out(2 * content.size() + 6);
    out.resize(HdlcCodec::Encode(content.data(), static_cast<uint16_t>(content.size()), out.data()));
    return out;
  }

  // Content of the i-th written frame.
  std::vector<uint8_t> SentContent(size_t i) const {
    uint8_t out[HdlcCodec::kMaxDecoded];
    HdlcCodec::Decoded d = HdlcCodec::Decode(written.at(i).data(), static_cast<uint16_t>(written[i].size()), out);
    return std::vector<uint8_t>(out, out + d.Length);
  }

  struct Answer {
    std::vector<uint8_t> Raw;
    bool InSequence;
  };
  std::vector<std::vector<uint8_t>> written;
  std::deque<Answer> answers;
  std::function<void(const std::vector<uint8_t>&)> onWrite;
  // Writes the port's TX and RX lines (class COMM, ALD number from the
  // address octet) as the serial port would.
  bool traceOctets = false;

 private:
  // N(S) is the N(R) of the request; N(R) acknowledges an I-frame request,
  // or, after a poll, every I-frame sent so far.
  std::vector<uint8_t> Sequenced(const std::vector<uint8_t>& raw) {
    uint8_t content[HdlcCodec::kMaxDecoded];
    HdlcCodec::Decoded d = HdlcCodec::Decode(raw.data(), static_cast<uint16_t>(raw.size()), content);
    if (d.Result != kSuccess || d.Length < 2 || written.empty()) return raw;
    std::vector<uint8_t> request = SentContent(written.size() - 1);
    if (request.size() < 2) return raw;
    uint8_t control = request[1];
    uint8_t nr = (control & 0x01) == 0 ? static_cast<uint8_t>((((control >> 1) & 7) + 1) % 8)
                                       : static_cast<uint8_t>(Alds().Record(content[0]).SendSeq);
    content[1] = static_cast<uint8_t>(0x10 + 32 * nr + 2 * (control >> 5));
    return Frame(std::vector<uint8_t>(content, content + d.Length));
  }

  void TraceOctets(const char* direction, const uint8_t* data, uint32_t length) {
    uint8_t ald = length > 1 && data[1] != 0xFF ? data[1] : 0;
    log_.Write(kTraceInfo, TraceClass::kComm, ald, "%s[%.2d] %s", direction, static_cast<int>(length),
               TraceLog::HexDump(data, length).c_str());
  }

  TraceLog& log_;
};
