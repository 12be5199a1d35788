#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "sim/SimFrameReader.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Frames = std::vector<Bytes>;

// The rule, octet by octet: a flag closes the frame it ends (if the frame
// holds anything) and opens the next; a frame that grows past the longest
// allowed is dropped, and what follows it is noise up to the next flag.
Frames OneOctetAtATime(const Bytes& stream) {
  Frames frames;
  Bytes partial;
  for (uint8_t octet : stream) {
    if (octet == HdlcCodec::kFlag) {
      if (partial.size() > 1) {
        partial.push_back(octet);
        frames.push_back(partial);
      }
      partial.assign(1, octet);
      continue;
    }
    if (partial.empty()) continue;
    partial.push_back(octet);
    if (partial.size() > SimFrameReader::kMaxFrame) partial.clear();
  }
  return frames;
}

Frames Read(SimFrameReader& reader, const Bytes& stream, const std::vector<size_t>& cuts) {
  Frames frames;
  size_t from = 0;
  for (size_t cut : cuts) {
    reader.Feed(stream.data() + from, cut - from,
                [&](const uint8_t* frame, size_t length) { frames.emplace_back(frame, frame + length); });
    from = cut;
  }
  return frames;
}

// Frames of every length around the longest allowed, flags side by side,
// and noise before the first flag and after the last.
Bytes RandomStream(std::mt19937& random) {
  std::uniform_int_distribution<int> octet(0, 255);
  std::uniform_int_distribution<size_t> longLength(SimFrameReader::kMaxFrame - 3, SimFrameReader::kMaxFrame + 3);
  Bytes stream;
  for (int i = 0; i < 3; ++i) stream.push_back(static_cast<uint8_t>(octet(random)));
  int frames = std::uniform_int_distribution<int>(0, 12)(random);
  for (int f = 0; f < frames; ++f) {
    if (random() % 3 == 0) stream.push_back(HdlcCodec::kFlag);
    size_t n = random() % 4 == 0 ? longLength(random) : random() % 8;
    for (size_t i = 0; i < n; ++i) {
      auto value = static_cast<uint8_t>(octet(random));
      stream.push_back(value == HdlcCodec::kFlag ? HdlcCodec::kEscape : value);
    }
    stream.push_back(HdlcCodec::kFlag);
  }
  for (int i = 0; i < 5; ++i) stream.push_back(static_cast<uint8_t>(octet(random)));
  return stream;
}

// Pieces of 0 to 3 octets, as a serial port hands them over, and long ones
// that cut frames anywhere.
std::vector<size_t> RandomCuts(std::mt19937& random, size_t size) {
  std::vector<size_t> cuts;
  for (size_t at = 0; at < size;) {
    at = std::min(size, at + (random() % 2 == 0 ? random() % 4 : random() % 700));
    cuts.push_back(at);
  }
  cuts.push_back(size);
  return cuts;
}

TEST(SimFrameReaderTest, AnyCuttingOfTheStreamGivesTheFramesOfTheOctetRule) {
  std::mt19937 random(20261210);
  for (int run = 0; run < 3000; ++run) {
    Bytes stream = RandomStream(random);
    Frames expected = OneOctetAtATime(stream);
    SimFrameReader reader;
    ASSERT_EQ(Read(reader, stream, {stream.size()}), expected) << "whole, run " << run;
    reader.Reset();
    ASSERT_EQ(Read(reader, stream, RandomCuts(random, stream.size())), expected) << "in pieces, run " << run;
  }
}

TEST(SimFrameReaderTest, FramesAtTheLengthLimitWhereverTheyAreCut) {
  for (size_t inside : {SimFrameReader::kMaxFrame - 1, SimFrameReader::kMaxFrame}) {
    Bytes stream(inside + 2, 0x11);
    stream.front() = stream.back() = HdlcCodec::kFlag;
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
      SimFrameReader reader;
      Frames frames = Read(reader, stream, {cut, stream.size()});
      ASSERT_EQ(frames.size(), inside < SimFrameReader::kMaxFrame ? 1u : 0u) << inside << " cut " << cut;
    }
  }
}

TEST(SimFrameReaderTest, ResetForgetsAHalfHeardFrame) {
  SimFrameReader reader;
  Frames frames;
  auto keep = [&](const uint8_t* frame, size_t length) { frames.emplace_back(frame, frame + length); };
  Bytes first = {0x7E, 0x03, 0x04};
  reader.Feed(first.data(), first.size(), keep);
  reader.Reset();
  Bytes rest = {0x05, 0x7E, 0x06, 0x7E};
  reader.Feed(rest.data(), rest.size(), keep);
  EXPECT_EQ(frames, (Frames{{0x7E, 0x06, 0x7E}}));
}

}  // namespace
