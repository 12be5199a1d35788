#include "bus/EntryText.h"

#include <charconv>
#include <cmath>

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

std::optional<int64_t> WholeInteger(const std::string& text) {
  if (text.empty()) return 0;
  const char* begin = text.data() + (text[0] == '+' && text.size() > 1 && text[1] != '-' ? 1 : 0);
  const char* end = text.data() + text.size();
  int64_t value = 0;
  auto [stop, error] = std::from_chars(begin, end, value, 10);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

uint8_t Truncate8(double value, double factor) {
  return static_cast<uint8_t>(static_cast<uint64_t>(TruncateScaled(value, factor)) & 0xFF);
}

uint16_t Truncate16(double value, double factor) {
  return static_cast<uint16_t>(static_cast<uint64_t>(TruncateScaled(value, factor)) & 0xFFFF);
}

std::optional<int64_t> Scaled(double value, double factor, int64_t min, int64_t max) {
  double scaled = std::trunc(value * factor);
  if (!std::isfinite(scaled) || scaled < static_cast<double>(min) || scaled > static_cast<double>(max)) {
    return std::nullopt;
  }
  if (scaled == 0 && value != 0) return std::nullopt;
  return static_cast<int64_t>(scaled);
}

}  // namespace EntryText
