#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/CaptureDirection.h"

// The blocks of a pcapng capture as this program writes them: little-endian,
// one section with one interface, every packet an Enhanced Packet Block
// whose flags carry its direction.
namespace PcapngBlocks {

// No registered link type carries HDLC frames with their flags and octet
// transparency as they are on the AISG line, so the captures use the first
// user type; the AISG dissector claims it.
inline constexpr uint16_t kLinkTypeUser0 = 147;
// Time stamps count microseconds since 1970-01-01 UTC.
inline constexpr uint8_t kMicroseconds = 6;

std::vector<uint8_t> SectionHeader(const std::string& application, const std::string& comment);
std::vector<uint8_t> InterfaceDescription(uint16_t linkType, const std::string& name, const std::string& description);
std::vector<uint8_t> EnhancedPacket(CaptureDirection direction, uint64_t timeUs, const uint8_t* data, size_t length);

}  // namespace PcapngBlocks
