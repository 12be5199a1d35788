#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Hex.h"
#include "link/HdlcCodec.h"

namespace {

std::vector<uint8_t> Encode(const std::vector<uint8_t>& content) {
  std::vector<uint8_t> out(2 * content.size() + 6);
  out.resize(HdlcCodec::Encode(content.data(), static_cast<uint16_t>(content.size()), out.data()));
  return out;
}

struct DecodeOut {
  HdlcCodec::Decoded d;
  std::vector<uint8_t> content;
};

DecodeOut Decode(const std::vector<uint8_t>& raw) {
  uint8_t out[HdlcCodec::kMaxDecoded] = {};
  HdlcCodec::Decoded d = HdlcCodec::Decode(raw.data(), static_cast<uint16_t>(raw.size()), out);
  return {d, std::vector<uint8_t>(out, out + d.Length)};
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(HdlcFcs, TableAndCheckValue) {
  EXPECT_EQ(HdlcCodec::FcsTable()[0], 0x0000);
  EXPECT_EQ(HdlcCodec::FcsTable()[1], 0x1189);
  EXPECT_EQ(HdlcCodec::FcsTable()[255], 0x0F78);
  const char* digits = "123456789";
  uint16_t fcs = HdlcCodec::FcsRun(0xFFFF, reinterpret_cast<const uint8_t*>(digits), 9);
  EXPECT_EQ(static_cast<uint16_t>(~fcs), 0x906E);
}

TEST(HdlcEncode, BroadcastResetVector) {
  EXPECT_EQ(ToHex(Encode(Hex("FF BF 81 F0 02 07 00"))), "7E FF BF 81 F0 02 07 00 A4 F3 7E");
}

TEST(HdlcEncode, FlagAndEscapeOctetsAreEscapedAnywhere) {
  std::vector<uint8_t> wire = Encode(Hex("03 7E 7D 20"));
  EXPECT_EQ(ToHex(std::vector<uint8_t>(wire.begin(), wire.begin() + 6)), "7E 03 7D 5E 7D 5D");
  EXPECT_EQ(wire.back(), 0x7E);
  // Search for a content whose FCS holds 0x7E or 0x7D: those octets are
  // escaped too, and the frame still decodes to the content.
  int escapedFcs = 0;
  for (int v = 0; v < 65536 && escapedFcs < 5; ++v) {
    std::vector<uint8_t> content = {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8)};
    uint16_t fcs = static_cast<uint16_t>(~HdlcCodec::FcsRun(0xFFFF, content.data(), 2));
    uint8_t lo = fcs & 0xFF, hi = fcs >> 8;
    bool special = lo == 0x7E || lo == 0x7D || hi == 0x7E || hi == 0x7D;
    bool contentSpecial = content[0] == 0x7E || content[0] == 0x7D || content[1] == 0x7E || content[1] == 0x7D;
    if (!special || contentSpecial) continue;
    std::vector<uint8_t> frame = Encode(content);
    size_t specials = (lo == 0x7E || lo == 0x7D) + (hi == 0x7E || hi == 0x7D);
    EXPECT_EQ(frame.size(), 6u + specials) << ToHex(frame);
    for (size_t i = 1; i + 1 < frame.size(); ++i) EXPECT_NE(frame[i], 0x7E);
    DecodeOut back = Decode(frame);
    EXPECT_EQ(back.d.Result, kSuccess);
    EXPECT_EQ(back.content, content);
    ++escapedFcs;
  }
  EXPECT_EQ(escapedFcs, 5);
}

TEST(HdlcDecode, ValidFrameAndFramingErrors) {
  DecodeOut ok = Decode(Hex("7E FF BF 81 F0 02 07 00 A4 F3 7E"));
  EXPECT_EQ(ok.d.Result, kSuccess);
  EXPECT_EQ(ToHex(ok.content), "FF BF 81 F0 02 07 00");

  DecodeOut empty = Decode(Hex("7E 7E"));
  EXPECT_EQ(empty.d.Result, kProtocolError);
  EXPECT_TRUE(empty.d.Warn);

  DecodeOut noFlag = Decode(Hex("FF BF 81 F0 02 07 00 A4 F3 7E"));
  EXPECT_EQ(noFlag.d.Result, kProtocolError);
  EXPECT_FALSE(noFlag.d.Warn);
  EXPECT_FALSE(Decode(Hex("7E FF BF 81 F0 02 07 00 A4 F3")).d.Warn);
  EXPECT_EQ(Decode({}).d.Result, kProtocolError);
}

TEST(HdlcDecode, BackToBackFramesAreACollisionDeliveringTheFirst) {
  std::vector<uint8_t> a = Encode(Hex("01 73"));
  std::vector<uint8_t> b = Encode(Hex("02 73"));
  std::vector<uint8_t> shared = Concat(a, std::vector<uint8_t>(b.begin() + 1, b.end()));
  DecodeOut d = Decode(shared);
  EXPECT_EQ(d.d.Result, kCollision);
  EXPECT_EQ(ToHex(d.content), "01 73");
  EXPECT_EQ(Decode(Concat(a, b)).d.Result, kCollision);
}

TEST(HdlcDecode, WrongFcsThenGoodFrameDeliversTheSecond) {
  std::vector<uint8_t> bad = Encode(Hex("01 73"));
  bad[3] ^= 0x01;
  std::vector<uint8_t> good = Encode(Hex("02 73"));
  DecodeOut d = Decode(Concat(bad, std::vector<uint8_t>(good.begin() + 1, good.end())));
  EXPECT_EQ(d.d.Result, kSuccess);
  EXPECT_EQ(ToHex(d.content), "02 73");
  DecodeOut onlyBad = Decode(bad);
  EXPECT_EQ(onlyBad.d.Result, kProtocolError);
  EXPECT_TRUE(onlyBad.d.Warn);
}

TEST(HdlcDecode, EscapeBeforeFlagAbortsTheFrameBegunSoFar) {
  std::vector<uint8_t> good = Encode(Hex("02 73"));
  std::vector<uint8_t> raw = Concat(Hex("7E 01 73 7D"), good);
  DecodeOut d = Decode(raw);
  EXPECT_EQ(d.d.Result, kSuccess);
  EXPECT_EQ(ToHex(d.content), "02 73");
  // Without a following frame the aborted one is never delivered.
  std::vector<uint8_t> frame = Encode(Hex("02 73"));
  frame.insert(frame.end() - 1, 0x7D);
  EXPECT_EQ(Decode(frame).d.Result, kProtocolError);
}

TEST(HdlcDecode, DoubleEscapeTakesTheSecondAsData) {
  // 7D 7D: the second escape octet is data, XORed with 0x20 (0x5D).
  std::vector<uint8_t> content = {0x01, 0x5D};
  std::vector<uint8_t> wire = Encode(content);
  ASSERT_EQ(wire[2], 0x5D);
  wire.insert(wire.begin() + 2, 0x7D);
  wire[3] = 0x7D;
  DecodeOut d = Decode(wire);
  EXPECT_EQ(d.d.Result, kSuccess);
  EXPECT_EQ(d.content, content);
}

TEST(HdlcDecode, OverlongStreamIsACrcErrorAndNeverOverruns) {
  std::vector<uint8_t> raw = {0x7E};
  raw.insert(raw.end(), 200, 0x55);
  raw.push_back(0x7E);
  uint8_t out[HdlcCodec::kMaxDecoded + 8];
  std::memset(out, 0xAA, sizeof out);
  HdlcCodec::Decoded d = HdlcCodec::Decode(raw.data(), static_cast<uint16_t>(raw.size()), out);
  EXPECT_EQ(d.Result, kCrc16Error);
  EXPECT_TRUE(d.Warn);
  for (size_t i = HdlcCodec::kMaxDecoded; i < sizeof out; ++i) EXPECT_EQ(out[i], 0xAA);
  // 81 content octets is the longest frame that still decodes.
  std::vector<uint8_t> longest(81, 0x11);
  DecodeOut fits = Decode(Encode(longest));
  EXPECT_EQ(fits.d.Result, kSuccess);
  EXPECT_EQ(fits.content.size(), 81u);
  EXPECT_EQ(Decode(Encode(std::vector<uint8_t>(82, 0x11))).d.Result, kCrc16Error);
}

size_t FrameEnd(const std::vector<uint8_t>& raw) {
  return HdlcCodec::FrameEnd(raw.data(), raw.size());
}

TEST(HdlcFrameEnd, EndsAtTheClosingFlagOfTheFirstGoodFrame) {
  std::vector<uint8_t> ua = Encode(Hex("03 73"));
  EXPECT_EQ(FrameEnd(ua), ua.size());
  EXPECT_EQ(FrameEnd(Concat(ua, Hex("00 FF 55"))), ua.size());
  EXPECT_EQ(FrameEnd(Concat(ua, Encode(Hex("04 73")))), ua.size());
  // Repeated opening flags are idle line, not frames.
  EXPECT_EQ(FrameEnd(Concat(Hex("7E 7E"), ua)), ua.size() + 2);
  // A frame with a bad FCS is passed over; one that follows it ends the answer.
  std::vector<uint8_t> bad = ua;
  bad[2] ^= 0x04;
  EXPECT_EQ(FrameEnd(bad), 0u);
  std::vector<uint8_t> both = Concat(bad, std::vector<uint8_t>(ua.begin() + 1, ua.end()));
  EXPECT_EQ(FrameEnd(both), both.size());
  // Octets before the opening flag are passed over.
  EXPECT_EQ(FrameEnd(Concat(Hex("55 3C"), ua)), ua.size() + 2);
  EXPECT_EQ(FrameEnd(Hex("55 3C 00")), 0u);
  // An escaped flag inside the content does not close the frame.
  std::vector<uint8_t> escaped = Encode(Hex("03 7E 7D 20"));
  EXPECT_EQ(FrameEnd(escaped), escaped.size());
  EXPECT_EQ(FrameEnd(Encode(std::vector<uint8_t>(82, 0x11))), 0u);
}

// Wherever a read stops, the reader ends it only when the octets so far,
// from their first flag on, decode to exactly one good frame: never on half
// a frame, never on a frame the decoder would refuse.
TEST(HdlcFrameEnd, AgreesWithTheDecoderOnEveryPrefix) {
  std::vector<uint8_t> bad = Encode(Hex("01 73"));
  bad[3] ^= 0x01;
  std::vector<std::vector<uint8_t>> wires = {
      Encode(Hex("01 10 05 00 00")),          Concat(Encode(Hex("01 93")), Hex("00 FF 55 AA 3C")),
      Concat(bad, Encode(Hex("02 73"))),      Encode(Hex("03 7E 7D 20 7E 7E")),
      Encode(std::vector<uint8_t>(81, 0x7D)), Concat(Hex("7E 7D"), Encode(Hex("02 73"))),
  };
  for (const std::vector<uint8_t>& wire : wires) {
    bool ended = false;
    for (size_t n = 1; n <= wire.size(); ++n) {
      std::vector<uint8_t> prefix(wire.begin(), wire.begin() + static_cast<long>(n));
      size_t end = FrameEnd(prefix);
      if (end == 0) continue;
      ended = true;
      EXPECT_EQ(end, n) << ToHex(prefix) << ": ended before the octets read so far";
      auto flag = std::find(prefix.begin(), prefix.end(), HdlcCodec::kFlag);
      EXPECT_EQ(Decode(std::vector<uint8_t>(flag, prefix.begin() + static_cast<long>(end))).d.Result, kSuccess)
          << ToHex(prefix);
      break;
    }
    EXPECT_TRUE(ended) << ToHex(wire);
  }
}

}  // namespace
