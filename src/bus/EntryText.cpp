#include "bus/EntryText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// Far beyond any field, yet inside the range where a double converts to a
// 64-bit integer without undefined behaviour.
constexpr double kLargest = 1e15;

int64_t TruncateScaled(double value, double factor) {
  double scaled = std::trunc(value * factor);
  if (!std::isfinite(scaled)) return 0;
  if (scaled > kLargest) scaled = kLargest;
  if (scaled < -kLargest) scaled = -kLargest;
  return static_cast<int64_t>(scaled);
}

}  // namespace

namespace EntryText {

std::optional<double> Number(const std::string& text) {
  if (text.empty()) return 0.0;
  // A written plus sign is a number too, though from_chars takes none.
  const char* begin = text.data() + (text[0] == '+' && text.size() > 1 && text[1] != '-' ? 1 : 0);
  double value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
  if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

long Integer(const std::string& text) {
  return std::strtol(text.c_str(), nullptr, 10);
}

uint8_t Truncate8(double value, double factor) {
  return static_cast<uint8_t>(static_cast<uint64_t>(TruncateScaled(value, factor)) & 0xFF);
}

uint16_t Truncate16(double value, double factor) {
  return static_cast<uint16_t>(static_cast<uint64_t>(TruncateScaled(value, factor)) & 0xFFFF);
}

}  // namespace EntryText
