#include "link/HdlcCodec.h"

namespace {

uint16_t PutEscaped(uint8_t octet, uint8_t* out, uint16_t at) {
  if (octet == HdlcCodec::kFlag || octet == HdlcCodec::kEscape) {
    out[at++] = HdlcCodec::kEscape;
    octet ^= 0x20;
  }
  out[at++] = octet;
  return at;
}

}  // namespace

const std::array<uint16_t, 256>& HdlcCodec::FcsTable() {
  return kHdlcFcsTable;
}

uint16_t HdlcCodec::FcsRun(uint16_t fcs, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) fcs = FcsUpdate(fcs, data[i]);
  return fcs;
}

uint16_t HdlcCodec::Encode(const uint8_t* content, uint16_t length, uint8_t* out) {
  uint16_t at = 0;
  uint16_t fcs = kFcsInit;
  out[at++] = kFlag;
  for (uint16_t i = 0; i < length; ++i) {
    fcs = FcsUpdate(fcs, content[i]);
    at = PutEscaped(content[i], out, at);
  }
  fcs = static_cast<uint16_t>(~fcs);
  at = PutEscaped(static_cast<uint8_t>(fcs & 0xFF), out, at);
  at = PutEscaped(static_cast<uint8_t>(fcs >> 8), out, at);
  out[at++] = kFlag;
  return at;
}

HdlcCodec::Decoded HdlcCodec::Decode(const uint8_t* raw, uint16_t rawLength, uint8_t* out) {
  if (rawLength == 0 || raw[0] != kFlag || raw[rawLength - 1] != kFlag) return {kProtocolError, 0, false};
  Scanned frame = ScanFrame(raw, rawLength, out);
  switch (frame.Outcome) {
    case Scanned::kFrame: {
      ResultCode result = frame.End == rawLength ? kSuccess : kCollision;
      return {result, static_cast<uint16_t>(frame.Length - 2), false};
    }
    case Scanned::kOverlong: return {kCrc16Error, 0, true};
    case Scanned::kNone: break;
  }
  return {kProtocolError, 0, true};
}

// Past the longest frame nothing can complete it any more; a reader then
// ends its read as it would without looking for frames.
size_t HdlcCodec::FrameEnd(const uint8_t* raw, size_t rawLength) {
  Scanned frame = ScanFrame(raw, rawLength, nullptr);
  return frame.Outcome == Scanned::kFrame ? frame.End : 0;
}

// A flag closes a frame only when at least the two FCS octets came since the
// last flag and the FCS over them is good; any other flag, and an escape
// followed by a flag, starts the frame afresh.
HdlcCodec::Scanned HdlcCodec::ScanFrame(const uint8_t* raw, size_t rawLength, uint8_t* out) {
  size_t i = 0;
  while (i < rawLength && raw[i] != kFlag) ++i;
  size_t count = 0;
  uint16_t fcs = kFcsInit;
  bool escaped = false;
  for (; i < rawLength; ++i) {
    uint8_t octet = raw[i];
    if (octet == kFlag) {
      if (!escaped && count >= 2 && fcs == kFcsGood) return {Scanned::kFrame, i + 1, count};
      escaped = false;
      count = 0;
      fcs = kFcsInit;
      continue;
    }
    if (octet == kEscape && !escaped) {
      escaped = true;
      continue;
    }
    if (escaped) {
      escaped = false;
      octet ^= 0x20;
    }
    if (out != nullptr) out[count] = octet;
    fcs = FcsUpdate(fcs, octet);
    if (++count == kMaxDecoded) return {Scanned::kOverlong, i + 1, count};
  }
  return {Scanned::kNone, rawLength, count};
}
