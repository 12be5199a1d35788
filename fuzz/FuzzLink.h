#pragma once

#include <algorithm>
#include <cstring>

#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "link/AisgHdlc.h"
#include "link/HdlcCodec.h"

// The link layer answering every read with one frame whose content is the
// fuzz input, so the answer parsers see arbitrary contents of any length.
class FuzzLink : public AisgHdlc {
 public:
  FuzzLink(TraceLog& log, AldTable& table) : AisgHdlc(log, table) {}

  void SetAnswer(const uint8_t* data, size_t size) {
    uint16_t n = static_cast<uint16_t>(std::min<size_t>(size, HdlcCodec::kMaxContent));
    length_ = HdlcCodec::Encode(data, n, frame_);
  }

  uint32_t Write(const uint8_t*, uint32_t length) override { return length; }
  uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
    uint32_t n = std::min<uint32_t>(length_, capacity);
    std::memcpy(buffer, frame_, n);
    return n;
  }

 private:
  uint8_t frame_[HdlcCodec::kBufferSize] = {};
  uint16_t length_ = 0;
};

// One quiet log and table for the whole fuzz run.
struct FuzzWorld {
  TraceLog log{""};
  AldTable table{log};
  FuzzLink link{log, table};
  static FuzzWorld& Get() {
    static FuzzWorld* world = new FuzzWorld;
    return *world;
  }
};
