#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The XID frames of AISG layer 2 as a secondary station reads and writes
// them: address, 0xBF, format 0x81, group 0xF0, group length, then PI/PL/value
// parameters. Also the identifier matching rules that decide which devices
// answer a device scan or take an assigned address.
class SimXid {
 public:
  static constexpr uint8_t kControl = 0xBF;
  static constexpr uint8_t kFormat = 0x81;
  static constexpr uint8_t kGroup = 0xF0;
  static constexpr uint8_t kPiUniqueId = 1;
  static constexpr uint8_t kPiAddress = 2;
  static constexpr uint8_t kPiMask = 3;
  static constexpr uint8_t kPiDeviceType = 4;
  static constexpr uint8_t kPiVendorCode = 6;
  static constexpr uint8_t kPiReset = 7;
  static constexpr uint8_t kPiScanVersion = 9;
  static constexpr uint8_t kPiProtocolVersion = 20;
  static constexpr size_t kPaddedLength = 19;

  struct Parameter {
    uint8_t Id;
    std::vector<uint8_t> Value;
  };

  // Parameters of an XID frame content, or nothing when the frame is not a
  // well-formed AISG XID (a device ignores such frames).
  static std::optional<std::vector<Parameter>> Parse(const uint8_t* content, size_t length);
  static std::vector<uint8_t> Build(uint8_t address, const std::vector<Parameter>& parameters);
  static const Parameter* FindParameter(const std::vector<Parameter>& parameters, uint8_t id);

  // The identifier as the scan sees it: vendor code in octets 0 and 1, the
  // rest right-aligned in 19 octets with 0x00 between.
  static std::vector<uint8_t> PadUniqueId(const std::string& uniqueId);
  // The device scan rule: the first min(n, 2) pattern octets against the
  // two leftmost padded octets, the remaining n - 2 against the rightmost
  // n - 2, each under its mask octet. n = 0 matches every identifier.
  static bool ScanMatches(const std::string& uniqueId, const std::vector<uint8_t>& pattern,
                          const std::vector<uint8_t>& mask);
  // The address assignment rule: the identifier ends with the given octets.
  static bool AssignMatches(const std::string& uniqueId, const std::vector<uint8_t>& given);
};
