#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Cuts the octet stream a device hears into frames: from an opening flag to
// the next flag. A closing flag may also open the next frame, and octets
// outside any frame are line noise.
class SimFrameReader {
 public:
  // A frame that grows beyond this without a closing flag is dropped.
  static constexpr size_t kMaxFrame = 512;

  // Returns every frame completed by these octets, flags included.
  std::vector<std::vector<uint8_t>> Feed(const uint8_t* data, size_t length);

 private:
  std::vector<uint8_t> partial_;
};
