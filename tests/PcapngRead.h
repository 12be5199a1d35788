#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads back the pcapng files this program writes (little-endian, one
// interface), independently of the writer's code, so that tests can check
// each packet's octets, time and direction.
struct PcapngPacket {
  uint64_t TimeUs = 0;
  uint32_t Flags = 0;  // epb_flags; bits 0-1: 1 inbound, 2 outbound
  std::vector<uint8_t> Octets;
};

struct PcapngContents {
  bool Valid = false;  // every block complete and well formed
  uint16_t LinkType = 0;
  std::vector<PcapngPacket> Packets;
};

inline uint32_t PcapngU32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
  return v;
}

inline uint16_t PcapngU16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

inline PcapngContents ReadPcapng(const std::string& bytes) {
  PcapngContents c;
  size_t pos = 0;
  bool first = true;
  while (pos + 12 <= bytes.size()) {
    uint32_t type = PcapngU32(bytes, pos);
    uint32_t length = PcapngU32(bytes, pos + 4);
    if (length < 12 || length % 4 != 0 || pos + length > bytes.size()) return c;
    if (PcapngU32(bytes, pos + length - 4) != length) return c;
    if (first && (type != 0x0A0D0D0A || PcapngU32(bytes, pos + 8) != 0x1A2B3C4D)) return c;
    first = false;
    if (type == 1) c.LinkType = PcapngU16(bytes, pos + 8);
    if (type == 6) {
      PcapngPacket p;
      p.TimeUs = (static_cast<uint64_t>(PcapngU32(bytes, pos + 12)) << 32) | PcapngU32(bytes, pos + 16);
      uint32_t captured = PcapngU32(bytes, pos + 20);
      size_t data = pos + 28;
      if (data + captured > pos + length - 4) return c;
      p.Octets.assign(bytes.begin() + static_cast<long>(data), bytes.begin() + static_cast<long>(data + captured));
      size_t option = data + (captured + 3) / 4 * 4;
      while (option + 4 <= pos + length - 4) {
        uint16_t code = PcapngU16(bytes, option);
        uint16_t size = PcapngU16(bytes, option + 2);
        if (code == 0) break;
        if (code == 2 && size == 4) p.Flags = PcapngU32(bytes, option + 4);
        option += 4 + (size + 3u) / 4 * 4;
      }
      c.Packets.push_back(p);
    }
    pos += length;
  }
  c.Valid = !first && pos == bytes.size();
  return c;
}
