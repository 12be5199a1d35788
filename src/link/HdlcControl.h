#pragma once

#include <cstdint>

// The fields of an HDLC control octet as the primary station reads and
// builds them; the P/F bit (0x10) is set in every frame it sends.
namespace HdlcControl {

inline constexpr uint8_t kSnrm = 0x93;
inline constexpr uint8_t kDisc = 0x53;
inline constexpr uint8_t kXid = 0xBF;

inline uint8_t Next(uint8_t seq) {
  return static_cast<uint8_t>((seq + 1) % 8);
}
inline uint8_t Nr(uint8_t control) {
  return static_cast<uint8_t>(control >> 5);
}
inline uint8_t Ns(uint8_t control) {
  return static_cast<uint8_t>((control >> 1) & 7);
}
inline uint8_t IFrame(uint8_t nr, uint8_t ns) {
  return static_cast<uint8_t>(0x10 + 32 * nr + 2 * ns);
}
inline uint8_t Rr(uint8_t nr) {
  return static_cast<uint8_t>(0x11 + 32 * nr);
}
// RR, RNR, REJ and SREJ.
inline bool IsSupervisory(uint8_t control) {
  return (control & 0x03) == 0x01;
}
// REJ and SREJ: the sender asks for frames again from its N(R) on.
inline bool IsReject(uint8_t control) {
  return IsSupervisory(control) && (control & 0x08) != 0;
}
inline bool IsUa(uint8_t control) {
  return (control & ~0x10) == 0x63;
}

}  // namespace HdlcControl
