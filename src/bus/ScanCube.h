#pragma once

#include <cstdint>
#include <string>

// The unique identifiers that one device scan of the full length selects:
// the octets of the padded identifier (vendor code in octets 0 and 1, the
// rest right-aligned) under a mask. A cube whose mask is complete holds a
// single identifier.
struct ScanCube {
  static constexpr int kLength = 19;

  uint8_t Pattern[kLength] = {};
  uint8_t Mask[kLength] = {};

  // Every identifier with this vendor code.
  static ScanCube Vendor(uint8_t first, uint8_t second) {
    ScanCube c;
    c.Pattern[0] = first;
    c.Pattern[1] = second;
    c.Mask[0] = 0xFF;
    c.Mask[1] = 0xFF;
    return c;
  }

  bool Complete() const {
    for (uint8_t m : Mask) {
      if (m != 0xFF) return false;
    }
    return true;
  }

  // Every identifier of this cube is one of outer's.
  bool Within(const ScanCube& outer) const {
    for (int i = 0; i < kLength; ++i) {
      if ((outer.Mask[i] & ~Mask[i]) != 0) return false;
      if ((Pattern[i] & outer.Mask[i]) != (outer.Pattern[i] & outer.Mask[i])) return false;
    }
    return true;
  }

  // The half of this cube in which the bit of the octet has the value.
  ScanCube Half(int octet, uint8_t bit, bool set) const {
    ScanCube c = *this;
    c.Mask[octet] |= bit;
    c.Pattern[octet] = static_cast<uint8_t>(set ? c.Pattern[octet] | bit : c.Pattern[octet] & ~bit);
    return c;
  }

  // A complete cube's identifier as the devices hold it: the vendor code and
  // the octets from the first one that is not 0. Octets outside printable
  // ASCII are shown as \xNN.
  std::string IdentifierText() const {
    int first = 2;
    while (first < kLength && Pattern[first] == 0) ++first;
    std::string text;
    for (int i = 0; i < kLength; ++i) {
      if (i >= 2 && i < first) continue;
      uint8_t octet = Pattern[i];
      if (octet >= 0x20 && octet < 0x7F) {
        text += static_cast<char>(octet);
      } else {
        static const char kHex[] = "0123456789ABCDEF";
        text += "\\x";
        text += kHex[octet >> 4];
        text += kHex[octet & 0x0F];
      }
    }
    return text;
  }
};
