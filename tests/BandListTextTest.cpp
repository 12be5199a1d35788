#include <gtest/gtest.h>

#include <initializer_list>

#include "layer7/BandListText.h"

namespace {

std::string BandsOf(std::initializer_list<uint8_t> octets) {
  const uint8_t* o = octets.begin();
  uint16_t words[3];
  for (int w = 0; w < 3; ++w) words[w] = static_cast<uint16_t>(o[2 * w] | o[2 * w + 1] << 8);
  return BandListText(words);
}

TEST(BandListText, ListsSetBandsInIncreasingOrder) {
  EXPECT_EQ(BandsOf({0x20, 0x01, 0x00, 0x00, 0x10, 0x00}), "1, 9, 37");
  EXPECT_EQ(BandsOf({0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), "");
  // Octet 0 counts its bits out of order; bands 31 and 32 sit in octet 5.
  EXPECT_EQ(BandsOf({0x01, 0x00, 0x00, 0x00, 0x00, 0x00}), "6");
  EXPECT_EQ(BandsOf({0xC0, 0x00, 0x00, 0x00, 0x00, 0x00}), "7, 8");
  EXPECT_EQ(BandsOf({0x00, 0x00, 0x80, 0x01, 0x01, 0x30}), "22, 23, 31, 32, 33");
  EXPECT_EQ(BandsOf({0x00, 0x00, 0x00, 0x00, 0x80, 0x08}), "40, 44");
}

TEST(BandListText, BitsWithoutBandAreIgnored) {
  EXPECT_EQ(BandsOf({0x00, 0xC0, 0x00, 0x00, 0x00, 0xC0}), "");
  std::string all;
  for (int band = 1; band <= 44; ++band) all += (band > 1 ? ", " : "") + std::to_string(band);
  EXPECT_EQ(BandsOf({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), all);
}

}  // namespace
