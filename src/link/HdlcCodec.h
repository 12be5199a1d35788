#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "layer7/ResultCode.h"

// The table of the frame check sequence (CRC-16 with the reflected
// polynomial 0x8408), built while compiling: every octet on the line, sent
// or heard, passes through it.
constexpr std::array<uint16_t, 256> BuildHdlcFcsTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ 0x8408 : v >> 1;
    table[i] = static_cast<uint16_t>(v);
  }
  return table;
}
inline constexpr std::array<uint16_t, 256> kHdlcFcsTable = BuildHdlcFcsTable();

// The wire form of one AISG HDLC frame: flags, octet transparency and the
// 16-bit frame check sequence. Pure functions, no port and no trace, so that
// both the primary and the simulated devices frame the same way.
class HdlcCodec {
 public:
  static constexpr uint8_t kFlag = 0x7E;
  static constexpr uint8_t kEscape = 0x7D;
  static constexpr uint16_t kFcsInit = 0xFFFF;
  static constexpr uint16_t kFcsGood = 0xF0B8;
  // A decode fails once this many octets gathered without a closing flag.
  static constexpr uint16_t kMaxDecoded = 84;
  static constexpr uint16_t kMaxContent = kMaxDecoded - 3;
  // Transmit and receive buffers of one exchange.
  static constexpr uint16_t kBufferSize = 168;

  struct Decoded {
    ResultCode Result;
    uint16_t Length;  // content octets delivered
    bool Warn;        // the "invalid frame" warning applies
  };

  static const std::array<uint16_t, 256>& FcsTable();
  static uint16_t FcsUpdate(uint16_t fcs, uint8_t octet) {
    return static_cast<uint16_t>((fcs >> 8) ^ kHdlcFcsTable.data()[(fcs ^ octet) & 0xFF]);
  }
  static uint16_t FcsRun(uint16_t fcs, const uint8_t* data, size_t length);

  // Writes the frame of content into out, which must hold 2 x length + 6
  // octets; returns the number of octets written.
  static uint16_t Encode(const uint8_t* content, uint16_t length, uint8_t* out);

  // Finds the first valid frame in the octets of one read and copies its
  // content to out, which must hold kMaxDecoded octets.
  static Decoded Decode(const uint8_t* raw, uint16_t rawLength, uint8_t* out);

  // The number of octets up to and including the closing flag of the first
  // frame with a good FCS, or 0 while no such frame is complete. Octets
  // before the first flag belong to no frame and are passed over. A frame
  // that only a later octet can show to be whole is never reported early,
  // so a reader may stop there.
  static size_t FrameEnd(const uint8_t* raw, size_t rawLength);

 private:
  // How the first frame in a run of octets came out: complete with a good
  // FCS (End just past its closing flag, Length content and FCS octets),
  // longer than any frame, or not complete in the octets given.
  struct Scanned {
    enum Kind { kFrame, kOverlong, kNone } Outcome;
    size_t End;
    size_t Length;
  };
  // Unstuffs from the first flag on into out (kMaxDecoded octets, or null
  // when only the frame's extent is wanted).
  static Scanned ScanFrame(const uint8_t* raw, size_t rawLength, uint8_t* out);
};
