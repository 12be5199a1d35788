#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
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

  // A parameter of a frame heard, or of one to send: the value stays where
  // it lies, in the frame's octets or in the device's configuration.
  struct Field {
    uint8_t Id;
    uint8_t Length;
    const uint8_t* Value;
    bool Equals(const uint8_t* octets, size_t length) const;
  };

  // The parameters of one frame heard. Every device on the bus reads every
  // broadcast XID, so reading one copies and allocates nothing. A group
  // holds at most 255 octets, and each parameter takes at least two.
  struct Fields {
    static constexpr size_t kMax = 128;
    std::array<Field, kMax> At;
    size_t Count = 0;
    const Field* Find(uint8_t id) const;
  };

  // Reads the parameters of an XID frame content into fields; false when
  // the frame is not a well-formed AISG XID (a device ignores such frames).
  // The fields point into content.
  static bool Parse(const uint8_t* content, size_t length, Fields& fields);
  static std::vector<uint8_t> Build(uint8_t address, std::span<const Field> parameters);

  // The identifier as the scan sees it: vendor code in octets 0 and 1, the
  // rest right-aligned in 19 octets with 0x00 between.
  static std::vector<uint8_t> PadUniqueId(const std::string& uniqueId);
  // The device scan rule: the first min(n, 2) pattern octets against the
  // two leftmost padded octets, the remaining n - 2 against the rightmost
  // n - 2, each under its mask octet. n = 0 matches every identifier.
  static bool ScanMatches(const std::string& uniqueId, const std::vector<uint8_t>& pattern,
                          const std::vector<uint8_t>& mask);
  // The same rule for the pattern and mask of a frame heard.
  static bool ScanMatchesHeard(const std::string& uniqueId, const Field& pattern, const Field& mask);
  // The address assignment rule: the identifier ends with the given octets.
  static bool AssignMatches(const std::string& uniqueId, const std::vector<uint8_t>& given);
  static bool AssignMatches(const std::string& uniqueId, const uint8_t* given, size_t length);

 private:
  static bool ScanMatches(const std::string& uniqueId, const uint8_t* pattern, const uint8_t* mask, size_t n);
  // Octet at of the padded identifier, without building it.
  static uint8_t PaddedOctet(const std::string& uniqueId, size_t at);
};
