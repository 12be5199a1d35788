#include "bus/TmaPage.h"

#include <algorithm>
#include <cctype>

#include "bus/EntryText.h"
#include "core/Format.h"

namespace TmaPage {

std::optional<uint8_t> GainEntry(const std::string& text) {
  std::optional<double> db = EntryText::Number(text);
  if (!db) return std::nullopt;
  return EntryText::Truncate8(*db, 4.0);
}

double GainDb(uint8_t quarters) {
  return quarters * 0.25;
}

double GainResolutionDb(uint8_t sixteenths) {
  return sixteenths * 0.0625;
}

std::string GainText(uint8_t quarters) {
  return Format("%.1f", GainDb(quarters));
}

std::string GainResolutionText(uint8_t sixteenths) {
  return Format("%.1f", GainResolutionDb(sixteenths));
}

std::string ModeText(uint8_t mode) {
  if (mode == kModeNormal) return "Normal";
  if (mode == kModeBypass) return "Bypass";
  return Format("%u", mode);
}

std::optional<uint8_t> ModeFromText(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == "normal") return kModeNormal;
  if (lower == "bypass") return kModeBypass;
  return std::nullopt;
}

}  // namespace TmaPage
