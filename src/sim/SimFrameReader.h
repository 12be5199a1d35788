#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/HdlcCodec.h"

// Cuts the octet stream a device hears into frames: from an opening flag to
// the next flag. A closing flag may also open the next frame, and octets
// outside any frame are line noise.
class SimFrameReader {
 public:
  // A frame that grows beyond this without a closing flag is dropped.
  static constexpr size_t kMaxFrame = 512;

  SimFrameReader() { partial_.reserve(kMaxFrame + 1); }

  // Calls onFrame(octets, length) for every frame these octets complete,
  // flags included. The octets are the reader's own and last only for the
  // call: nothing is copied, since the simulator hears every frame of a
  // busy bus (and of every fuzz input) through here.
  template <typename OnFrame>
  void Feed(const uint8_t* data, size_t length, OnFrame&& onFrame) {
    for (size_t i = 0; i < length; ++i) {
      uint8_t octet = data[i];
      if (octet == HdlcCodec::kFlag) {
        if (partial_.size() > 1) {
          partial_.push_back(octet);
          onFrame(static_cast<const uint8_t*>(partial_.data()), partial_.size());
        }
        partial_.assign(1, octet);
        continue;
      }
      if (partial_.empty()) continue;
      partial_.push_back(octet);
      if (partial_.size() > kMaxFrame) partial_.clear();
    }
  }

  // Forgets a half-heard frame.
  void Reset() { partial_.clear(); }

 private:
  // Room for the longest frame is kept from the start, so that the octets
  // of a frame are never added by repeated reallocations.
  std::vector<uint8_t> partial_;
};
