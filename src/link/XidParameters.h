#pragma once

#include <cstdint>

// Walks the parameters of an XID answer's user-defined group (format 0x81,
// group 0xF0). It never reads past the received content: a group length or a
// parameter length that runs past it ends the walk as malformed.
class XidParameters {
 public:
  struct Parameter {
    uint8_t Pi;
    uint8_t Pl;
    const uint8_t* Value;
  };

  XidParameters(const uint8_t* content, uint16_t length);

  // Format and group identifiers right, group length 1 to 79.
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
