#include "link/XidParameters.h"

XidParameters::XidParameters(const uint8_t* content, uint16_t length) : content_(content), length_(length) {
  if (length < 5 || content[2] != kFormatId) return;
  unsigned at = 3;
  while (at + 2u <= length && content[at] != kUserGroup) at += 2u + content[at + 1];
  if (at + 2u > length) return;
  remaining_ = content[at + 1];
  pos_ = static_cast<uint16_t>(at + 2);
  headerValid_ = remaining_ >= 1 && remaining_ <= 79;
  if (!headerValid_) remaining_ = 0;
}

bool XidParameters::Next(Parameter& out) {
  if (remaining_ == 0 || malformed_) return false;
  unsigned valueStart = pos_ + 2u;
  if (remaining_ < 2 || valueStart > length_) {
    malformed_ = true;
    return false;
  }
  uint8_t pl = content_[pos_ + 1];
  if (pl + 2u > remaining_ || valueStart + pl > length_) {
    malformed_ = true;
    return false;
  }
  out = {content_[pos_], pl, content_ + valueStart};
  pos_ = static_cast<uint16_t>(valueStart + pl);
  remaining_ -= pl + 2u;
  return true;
}
