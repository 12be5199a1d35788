#pragma once

#include <cstdint>

// Walks the parameters of an XID answer's user-defined group (format 0x81,
// group 0xF0). Groups of other identifiers ahead of it are stepped over
// whole, and whatever follows it is left alone, so a device that adds
// groups of its own is still understood. It never reads past the received
// content: a group length or a parameter length that runs past it ends the
// walk as malformed.
class XidParameters {
 public:
  struct Parameter {
    uint8_t Pi;
    uint8_t Pl;
    const uint8_t* Value;
  };

  static constexpr uint8_t kFormatId = 0x81;
  static constexpr uint8_t kUserGroup = 0xF0;

  XidParameters(const uint8_t* content, uint16_t length);

  // Format identifier right, a user-defined group of length 1 to 79 found.
  bool HeaderValid() const { return headerValid_; }
  // The next parameter; false once the group length is used up or malformed.
  bool Next(Parameter& out);
  bool Malformed() const { return malformed_; }

 private:
  const uint8_t* content_;
  uint16_t length_;
  uint16_t pos_ = 5;
  unsigned remaining_ = 0;
  bool headerValid_ = false;
  bool malformed_ = false;
};
