#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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
  // flags included. The octets last only for the call. A frame that lies
  // whole within data is handed over where it lies; only a frame cut by the
  // end of data is kept, to be completed by the next call. The simulator
  // hears every frame of a busy bus, and a fuzz run millions more, through
  // here.
  template <typename OnFrame>
  void Feed(const uint8_t* data, size_t length, OnFrame&& onFrame) {
    const uint8_t* end = data + length;
    const uint8_t* open = partial_.empty() ? Flag(data, end) : Complete(data, end, onFrame);
    while (open != end) {
      const uint8_t* close = Flag(open + 1, end);
      if (close == end) {
        Keep(open, end);
        return;
      }
      Hand(open, static_cast<size_t>(close - open) + 1, onFrame);
      open = close;
    }
  }

  // Forgets a half-heard frame.
  void Reset() { partial_.clear(); }

 private:
  static const uint8_t* Flag(const uint8_t* from, const uint8_t* end) {
    if (from >= end) return end;
    const void* flag = std::memchr(from, HdlcCodec::kFlag, static_cast<size_t>(end - from));
    return flag ? static_cast<const uint8_t*>(flag) : end;
  }

  // A frame of two flags only is none; an overlong one was dropped.
  template <typename OnFrame>
  static void Hand(const uint8_t* frame, size_t length, OnFrame& onFrame) {
    if (length > 2 && length <= kMaxFrame + 1) onFrame(frame, length);
  }

  // Goes on with the frame kept from the last call; returns the flag that
  // closes it, which also opens the next one, or end.
  template <typename OnFrame>
  const uint8_t* Complete(const uint8_t* data, const uint8_t* end, OnFrame& onFrame) {
    const uint8_t* close = Flag(data, end);
    if (partial_.size() + static_cast<size_t>(close - data) > kMaxFrame) {
      partial_.clear();
      return close;
    }
    partial_.insert(partial_.end(), data, close);
    if (close == end) return end;
    partial_.push_back(HdlcCodec::kFlag);
    Hand(partial_.data(), partial_.size(), onFrame);
    partial_.clear();
    return close;
  }

  // Keeps the frame cut by the end of the octets, unless it is too long
  // already.
  void Keep(const uint8_t* open, const uint8_t* end) {
    partial_.clear();
    if (static_cast<size_t>(end - open) <= kMaxFrame) partial_.assign(open, end);
  }

  // Room for the longest frame is kept from the start, so that the octets
  // of a frame are never added by repeated reallocations.
  std::vector<uint8_t> partial_;
};
