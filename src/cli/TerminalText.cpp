#include "cli/TerminalText.h"

#include <cstdint>
#include <cstdio>

namespace {

std::string Escaped(unsigned char octet) {
  char text[5];
  std::snprintf(text, sizeof text, "\\x%02X", octet);
  return text;
}

// The length of the UTF-8 sequence at i, or 0 when the octets there are not
// one well-formed sequence of a character that is not a C1 control.
size_t Utf8Length(const std::string& s, size_t i) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char lead = at(i);
  size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  uint32_t code = lead & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
  for (size_t k = 1; k < n; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (at(i + k) & 0x3F);
  }
  bool overlong = (n == 3 && code < 0x800) || (n == 4 && code < 0x10000);
  bool invalid = code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF);
  bool c1 = code >= 0x80 && code <= 0x9F;
  return overlong || invalid || c1 ? 0 : n;
}

}  // namespace

std::string TerminalText(const std::string& octets) {
  std::string text;
  text.reserve(octets.size());
  for (size_t i = 0; i < octets.size();) {
    auto octet = static_cast<unsigned char>(octets[i]);
    if (octet >= 0x20 && octet < 0x7F) {
      text += octets[i++];
      continue;
    }
    size_t n = octet >= 0x80 ? Utf8Length(octets, i) : 0;
    if (n == 0) {
      text += Escaped(octet);
      ++i;
    } else {
      text.append(octets, i, n);
      i += n;
    }
  }
  return text;
}
