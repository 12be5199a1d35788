#include <cstring>

#include "link/HdlcCodec.h"

// Raw octets of one read, up to the receive buffer, into the decoder. A
// delivered frame must fit the content limit and re-encode to a valid frame.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > HdlcCodec::kBufferSize) size = HdlcCodec::kBufferSize;
  uint8_t out[HdlcCodec::kMaxDecoded];
  HdlcCodec::Decoded d = HdlcCodec::Decode(data, static_cast<uint16_t>(size), out);
  if (d.Result != kSuccess && d.Result != kCollision) return 0;
  if (d.Length > HdlcCodec::kMaxContent) __builtin_trap();
  uint8_t wire[HdlcCodec::kBufferSize];
  uint16_t n = HdlcCodec::Encode(out, d.Length, wire);
  uint8_t back[HdlcCodec::kMaxDecoded];
  HdlcCodec::Decoded again = HdlcCodec::Decode(wire, n, back);
  if (again.Result != kSuccess || again.Length != d.Length || std::memcmp(out, back, d.Length) != 0) __builtin_trap();
  return 0;
}
