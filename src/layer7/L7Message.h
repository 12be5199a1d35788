#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

// One layer-7 message, the information field of an I-frame: procedure code,
// a 16-bit little-endian length, then the data. The buffer is large enough
// for the longest I-frame the link layer accepts; every read of the data is
// bounded by it, whatever length a device declares.
struct L7Message {
  static constexpr size_t kSize = 80;
  static constexpr size_t kMaxData = kSize - 3;

  uint8_t Bytes[kSize] = {};

  uint8_t Code() const { return Bytes[0]; }
  uint16_t Length() const { return static_cast<uint16_t>(Bytes[1] | (Bytes[2] << 8)); }
  // The declared length, cut to what the buffer can hold.
  size_t DataLength() const { return Length() < kMaxData ? Length() : kMaxData; }
  void SetLength(uint16_t length) {
    Bytes[1] = static_cast<uint8_t>(length & 0xFF);
    Bytes[2] = static_cast<uint8_t>(length >> 8);
  }
  uint8_t* Data() { return Bytes + 3; }
  const uint8_t* Data() const { return Bytes + 3; }
  // Data octet i, or 0 past the buffer.
  uint8_t DataAt(size_t i) const { return i < kMaxData ? Bytes[3 + i] : 0; }
  int16_t Int16At(size_t i) const { return static_cast<int16_t>(DataAt(i) | (DataAt(i + 1) << 8)); }
  uint16_t Uint16At(size_t i) const { return static_cast<uint16_t>(DataAt(i) | (DataAt(i + 1) << 8)); }

  static L7Message Make(uint8_t code, std::initializer_list<uint8_t> data) {
    L7Message m;
    m.Bytes[0] = code;
    size_t n = 0;
    for (uint8_t b : data) {
      if (n == kMaxData) break;
      m.Bytes[3 + n++] = b;
    }
    m.SetLength(static_cast<uint16_t>(n));
    return m;
  }
};
