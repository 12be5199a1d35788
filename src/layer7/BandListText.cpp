#include "layer7/BandListText.h"

#include <iterator>

namespace {

struct BandBit {
  uint8_t Octet;
  uint8_t Mask;
};

// Band n is entry n - 1. The first octet numbers its bits out of order, and
// bands 31 and 32 sit in the last octet, after the 33 to 40 of octet 4.
constexpr BandBit kBands[] = {
    {0, 0x20}, {0, 0x10}, {0, 0x08}, {0, 0x04}, {0, 0x02}, {0, 0x01}, {0, 0x40}, {0, 0x80},  // 1-8
    {1, 0x01}, {1, 0x02}, {1, 0x04}, {1, 0x08}, {1, 0x10}, {1, 0x20},                        // 9-14
    {2, 0x01}, {2, 0x02}, {2, 0x04}, {2, 0x08}, {2, 0x10}, {2, 0x20}, {2, 0x40}, {2, 0x80},  // 15-22
    {3, 0x01}, {3, 0x02}, {3, 0x04}, {3, 0x08}, {3, 0x10}, {3, 0x20}, {3, 0x40}, {3, 0x80},  // 23-30
    {5, 0x10}, {5, 0x20},                                                                    // 31-32
    {4, 0x01}, {4, 0x02}, {4, 0x04}, {4, 0x08}, {4, 0x10}, {4, 0x20}, {4, 0x40}, {4, 0x80},  // 33-40
    {5, 0x01}, {5, 0x02}, {5, 0x04}, {5, 0x08},                                              // 41-44
};

}  // namespace

std::string BandListText(const uint16_t (&bands)[3]) {
  uint8_t octets[6];
  for (size_t w = 0; w < 3; ++w) {
    octets[2 * w] = static_cast<uint8_t>(bands[w] & 0xFF);
    octets[2 * w + 1] = static_cast<uint8_t>(bands[w] >> 8);
  }
  std::string text;
  for (size_t i = 0; i < std::size(kBands); ++i) {
    if ((octets[kBands[i].Octet] & kBands[i].Mask) == 0) continue;
    if (!text.empty()) text += ", ";
    text += std::to_string(i + 1);
  }
  return text;
}
