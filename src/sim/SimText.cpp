#include "sim/SimText.h"

#include <cstdio>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

namespace SimText {

std::string Escape(const std::string& octets) {
  std::string text;
  for (char c : octets) {
    auto octet = static_cast<unsigned char>(c);
    if (c == '\\') {
      text += "\\\\";
    } else if (octet < 0x20 || octet > 0x7E) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", octet);
      text += escaped;
    } else {
      text += c;
    }
  }
  return text;
}

std::string Unescape(const std::string& text) {
  std::string octets;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      octets += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
               HexDigit(text[i + 3]) >= 0) {
      octets += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
    } else {
      octets += text[i];
    }
  }
  return octets;
}

}  // namespace SimText
