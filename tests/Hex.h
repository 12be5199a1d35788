#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

// "7E FF BF" <-> bytes, so wire vectors in tests read like the trace.
inline std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> out;
  std::istringstream in(text);
  std::string word;
  while (in >> word) out.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
  return out;
}

inline std::string ToHex(const uint8_t* data, size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    if (i) out += ' ';
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

inline std::string ToHex(const std::vector<uint8_t>& v) {
  return ToHex(v.data(), v.size());
}
