// The Wireshark dissector read through tshark: frames of every kind against
// the names and values the program itself uses, and broken or cut captures
// that must never make the dissector raise a Lua error.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "Hex.h"
#include "TempDir.h"
#include "Tshark.h"
#include "capture/CaptureFile.h"
#include "capture/PcapngBlocks.h"
#include "link/HdlcCodec.h"

namespace {

using Dir = CaptureDirection;
constexpr Dir kOut = Dir::kFromPrimary;
constexpr Dir kIn = Dir::kToPrimary;

std::vector<uint8_t> Wire(const std::vector<uint8_t>& content) {
  std::vector<uint8_t> out(2 * content.size() + 6);
  out.resize(HdlcCodec::Encode(content.data(), static_cast<uint16_t>(content.size()), out.data()));
  return out;
}

std::vector<uint8_t> Wire(const std::string& content) {
  return Wire(Hex(content));
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Packet {
  Dir Direction;
  std::vector<uint8_t> Octets;
};

std::string WriteCapture(const TempDir& dir, const std::string& name, const std::vector<Packet>& packets) {
  std::string path = dir.File(name);
  CaptureFile file;
  std::string error;
  EXPECT_TRUE(file.Open(path, {"test", "", "aisg", ""}, &error)) << error;
  uint64_t time = 1718000000000000ull;
  for (const Packet& p : packets) {
    EXPECT_TRUE(file.Append(p.Direction, time += 1000, p.Octets.data(), p.Octets.size(), &error)) << error;
  }
  return path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// ASCII text as hexadecimal octets.
std::string Ascii(const std::string& text) {
  std::string out;
  for (char c : text) out += ToHex(reinterpret_cast<const uint8_t*>(&c), 1) + " ";
  return out;
}

TEST(WiresharkDissector, DecodesEveryKindOfFrameWithTheProgramsNames) {
  ASSERT_TSHARK();
  TempDir dir;
  std::vector<Packet> packets = {
      {kOut, Wire("FF BF 81 F0 02 07 00")},  // 1 broadcast reset
      {kIn, Wire("00 BF 81 F0 1B 01 0F " + Ascii("KA0000801234567") + "04 01 01 06 02 4B 41 09 01 02")},
      {kOut, Wire("03 93")},                         // 3 SNRM
      {kIn, Wire("03 73")},                          // 4 UA
      {kOut, Wire("03 10 33 02 00 2D 00")},          // 5 Single Ret Set Tilt 4.5
      {kIn, Wire("03 30 33 01 00 00")},              // 6 OK
      {kOut, Wire("03 32 33 02 00 FF 00")},          // 7 Set Tilt 25.5
      {kIn, Wire("03 52 33 02 00 0B 13")},           // 8 Fail: Out Of Range
      {kOut, Wire("05 10 72 02 00 02 30")},          // 9 TMA Set Gain 12 dB
      {kIn, Wire("01 30 04 04 00 00 02 00 14")},     // 10 Get Alarm Status answer
      {kOut, Wire("03 54 0F 01 00 06")},             // 11 Get Device Data: Antenna Max Tilt
      {kIn, Wire("03 74 0F 03 00 00 78 00")},        // 12 its answer: 12.0
      {kIn, Wire("02 30 85 05 00 02 02 01 14 00")},  // 13 Multi Ret Alarm Indication
      {kIn, Wire("03 96 05 0C 00 00 04 " + Ascii("ABCD") + "01 53 00 02 48 57")},     // 14 Get Info
      {kIn, Wire("03 1F")},                                                           // 15 DM
      {kOut, Wire("03 31")},                                                          // 16 RR N(R)=1
      {kIn, Join(Wire("00 BF 81 F0 03 14 01 02"), Wire("00 BF 81 F0 03 14 01 01"))},  // 17 two answers
      {kIn, Join(Hex("45 7E"), Hex("7E 01 BF 81 F0"))},                               // 18 cut at both ends
  };
  // 19: a frame whose FCS is wrong.
  std::vector<uint8_t> bad = Wire("03 11");
  bad[bad.size() - 2] ^= 0x01;
  packets.push_back({kOut, bad});
  std::string path = WriteCapture(dir, "kinds.pcapng", packets);

  const std::vector<std::string> fields = {
      "aisg.direction",       "aisg.address",       "aisg.ftype",          "aisg.fcs.good",  "aisg.frames",
      "aisg.l7.name",         "aisg.l7.rc_name",    "aisg.l7.reason_name", "aisg.l7.tilt",   "aisg.l7.gain",
      "aisg.l7.alarm_name",   "aisg.l7.field_name", "aisg.l7.value",       "aisg.l7.string", "aisg.xid.uid",
      "aisg.xid.device_type", "aisg.l7.len"};
  Tshark::Run r = Tshark::Fields(path, fields);
  ASSERT_EQ(r.Status, 0) << r.Err
                         << "\n(a dissector that did not load, for example Lua switched off for root, "
                            "makes its fields unknown)";
  EXPECT_EQ(Tshark::LuaErrors(r), "");
  // Per packet the fields that have values; every other field is empty.
  // Direction 1 is from the primary, 2 to it.
  using Values = std::map<std::string, std::string>;
  std::vector<Values> expected = {
      {{"aisg.direction", "1"}, {"aisg.address", "255"}, {"aisg.ftype", "XID"}},
      {{"aisg.direction", "2"},
       {"aisg.address", "0"},
       {"aisg.ftype", "XID"},
       {"aisg.xid.uid", "KA0000801234567"},
       {"aisg.xid.device_type", "1"}},
      {{"aisg.direction", "1"}, {"aisg.address", "3"}, {"aisg.ftype", "SNRM"}},
      {{"aisg.direction", "2"}, {"aisg.address", "3"}, {"aisg.ftype", "UA"}},
      {{"aisg.direction", "1"},
       {"aisg.address", "3"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "2"},
       {"aisg.l7.name", "Single Ret Set Tilt"},
       {"aisg.l7.tilt", "4.5"}},
      {{"aisg.direction", "2"},
       {"aisg.address", "3"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "1"},
       {"aisg.l7.name", "Single Ret Set Tilt"},
       {"aisg.l7.rc_name", "OK"}},
      {{"aisg.direction", "1"},
       {"aisg.address", "3"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "2"},
       {"aisg.l7.name", "Single Ret Set Tilt"},
       {"aisg.l7.tilt", "25.5"}},
      {{"aisg.direction", "2"},
       {"aisg.address", "3"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "2"},
       {"aisg.l7.name", "Single Ret Set Tilt"},
       {"aisg.l7.rc_name", "Fail"},
       {"aisg.l7.reason_name", "Out Of Range"}},
      {{"aisg.direction", "1"},
       {"aisg.address", "5"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "2"},
       {"aisg.l7.name", "TMA Set Gain"},
       {"aisg.l7.gain", "12"}},
      {{"aisg.direction", "2"},
       {"aisg.address", "1"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "4"},
       {"aisg.l7.name", "Get Alarm Status"},
       {"aisg.l7.rc_name", "OK"},
       {"aisg.l7.alarm_name", "Actuator Jam Permanent,No alarm,Position Lost"}},
      {{"aisg.direction", "1"},
       {"aisg.address", "3"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "1"},
       {"aisg.l7.name", "Single Ret Get Device Data"},
       {"aisg.l7.field_name", "Antenna Max Tilt"}},
      {{"aisg.direction", "2"},
       {"aisg.address", "3"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "3"},
       {"aisg.l7.name", "Single Ret Get Device Data"},
       {"aisg.l7.rc_name", "OK"},
       {"aisg.l7.field_name", "Antenna Max Tilt"},
       {"aisg.l7.value", "12.0\u00B0"}},
      {{"aisg.direction", "2"},
       {"aisg.address", "2"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "5"},
       {"aisg.l7.name", "Multi Ret Alarm Indication"},
       {"aisg.l7.alarm_name", "Actuator Jam Permanent,Position Lost"}},
      {{"aisg.direction", "2"},
       {"aisg.address", "3"},
       {"aisg.ftype", "I"},
       {"aisg.l7.len", "12"},
       {"aisg.l7.name", "Get Info"},
       {"aisg.l7.rc_name", "OK"},
       {"aisg.l7.string", "ABCD,S,,HW"}},
      {{"aisg.direction", "2"}, {"aisg.address", "3"}, {"aisg.ftype", "DM"}},
      {{"aisg.direction", "1"}, {"aisg.address", "3"}, {"aisg.ftype", "RR"}},
      {{"aisg.direction", "2"},
       {"aisg.address", "0,0"},
       {"aisg.ftype", "XID,XID"},
       {"aisg.fcs.good", "1,1"},
       {"aisg.frames", "2"}},
      {{"aisg.direction", "2"}, {"aisg.frames", "0"}},
      {{"aisg.direction", "1"}, {"aisg.address", "3"}, {"aisg.ftype", "RR"}, {"aisg.fcs.good", "0"}},
  };
  std::vector<std::string> lines = Lines(r.Out);
  ASSERT_EQ(lines.size(), expected.size()) << r.Out;
  for (size_t i = 0; i < expected.size(); ++i) {
    std::istringstream row(lines[i] + "|");
    Values want = expected[i];
    // A frame that is whole has a good FCS and counts as one frame unless
    // the packet says otherwise.
    if (want.count("aisg.ftype") && !want.count("aisg.fcs.good")) want["aisg.fcs.good"] = "1";
    if (!want.count("aisg.frames")) want["aisg.frames"] = "1";
    for (const std::string& field : fields) {
      std::string value;
      std::getline(row, value, '|');
      EXPECT_EQ(value, want.count(field) ? want[field] : "") << "packet " << i + 1 << ", " << field;
    }
  }
}

// Frames of every kind cut short, with octets changed and lengths that lie,
// framed again with a good FCS so that the decoders behind it see them, and
// raw octets with stray flags and escapes; then a capture cut in the middle
// of a packet.
TEST(WiresharkDissector, BrokenAndCutCapturesNeverRaiseALuaError) {
  ASSERT_TSHARK();
  TempDir dir;
  const std::vector<std::string> seeds = {
      "FF BF 81 F0 02 07 00",
      "00 BF 81 F0 1B 01 0F " + Ascii("KA0000801234567") + "04 01 01 06 02 4B 41 09 01 02",
      "FF BF 81 F0 10 01 0B " + Ascii("AN07RET4410") + "02 01 01",
      "03 10 33 02 00 2D 00",
      "03 52 33 02 00 0B 13",
      "05 10 72 02 00 02 30",
      "01 30 04 04 00 00 02 00 14",
      "03 54 0F 01 00 06",
      "03 74 0F 03 00 00 78 00",
      "03 54 0E 10 00 01 00 00 00 00 00 00 00 00 00 00 00 00 41 42 43",
      "02 30 85 05 00 02 02 01 14 00",
      "03 96 05 0C 00 00 04 " + Ascii("ABCD") + "01 53 00 02 48 57",
      "05 30 7A 06 00 01 00 03 10 30 04",
      "03 10 90 2F 00" + std::string(47 * 3, ' ')
                             .replace(0, 0,
                                      [] {
                                        std::string s;
                                        for (int i = 0; i < 47; ++i) s += " 41";
                                        return s;
                                      }()),
      "03 87 01 02 03",
  };
  std::mt19937 random(16);
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  std::vector<Packet> packets;
  for (int i = 0; i < 400; ++i) {
    std::vector<uint8_t> content = Hex(seeds[pick(seeds.size())]);
    std::vector<uint8_t> octets;
    switch (pick(5)) {
      case 0: content.resize(pick(content.size() + 1)); break;
      case 1:
        for (size_t k = 0, n = 1 + pick(3); k < n && !content.empty(); ++k) {
          content[pick(content.size())] = static_cast<uint8_t>(random());
        }
        break;
      case 2:
        if (content.size() > 4) content[3 + pick(2)] = static_cast<uint8_t>(random());
        break;
      case 3:
        for (size_t k = 0, n = 1 + pick(20); k < n; ++k) content.push_back(static_cast<uint8_t>(random()));
        break;
      default:
        for (size_t k = 0, n = pick(40); k < n; ++k) {
          const uint8_t specials[] = {0x7E, 0x7D, static_cast<uint8_t>(random())};
          octets.push_back(specials[pick(3)]);
        }
    }
    if (octets.empty() && !content.empty()) octets = Wire(content);
    packets.push_back({pick(2) == 0 ? kOut : kIn, octets});
  }
  std::string path = WriteCapture(dir, "fuzzed.pcapng", packets);
  Tshark::Run r = Tshark::Read(path, {"-V"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(Tshark::LuaErrors(r), "");
  EXPECT_NE(r.Out.find("Malformed"), std::string::npos) << "the broken frames are marked";

  std::string whole = ReadFile(path);
  std::string cut = dir.File("cut.pcapng");
  std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() - 30);
  Tshark::Run c = Tshark::Read(cut, {});
  EXPECT_EQ(Tshark::LuaErrors(c), "");
  EXPECT_NE(c.Err.find("cut short"), std::string::npos) << c.Err;
  EXPECT_EQ(Lines(c.Out).size(), packets.size() - 1) << "every whole packet is shown";
}

}  // namespace
