#include "sim/SimFrameReader.h"

#include "link/HdlcCodec.h"

std::vector<std::vector<uint8_t>> SimFrameReader::Feed(const uint8_t* data, size_t length) {
  std::vector<std::vector<uint8_t>> frames;
  for (size_t i = 0; i < length; ++i) {
    uint8_t octet = data[i];
    if (octet == HdlcCodec::kFlag) {
      if (partial_.size() > 1) {
        partial_.push_back(octet);
        // A copy of its own size; the partial frame keeps its room, so the
        // octets of the next frame are not added by repeated reallocations.
        frames.push_back(partial_);
      }
      if (partial_.capacity() <= kMaxFrame) partial_.reserve(kMaxFrame + 1);
      partial_.assign(1, octet);
      continue;
    }
    if (partial_.empty()) continue;
    partial_.push_back(octet);
    if (partial_.size() > kMaxFrame) partial_.clear();
  }
  return frames;
}
