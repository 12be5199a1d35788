#include "bus/TmaPage.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "bus/EntryText.h"
#include "core/Format.h"

namespace TmaPage {

std::optional<uint8_t> GainEntry(const std::string& text) {
  std::optional<double> db = EntryText::Number(text);
  if (!db) return std::nullopt;
  return EntryText::Truncate8(*db, 4.0);
}

namespace {

constexpr int kSixteenthsPerQuarter = 4;

// The gains allowed, in sixteenths of a dB, in increasing order.
std::vector<int> AllowedSixteenths(const GainLimits& limits) {
  int min = limits.MinQuarters * kSixteenthsPerQuarter;
  int max = limits.MaxQuarters * kSixteenthsPerQuarter;
  int step = limits.ResolutionSixteenths == 0 ? kSixteenthsPerQuarter : limits.ResolutionSixteenths;
  std::vector<int> allowed;
  for (int v = min; v <= max; v += step) {
    if (v % kSixteenthsPerQuarter == 0) allowed.push_back(v);
  }
  return allowed;
}

// A gain in sixteenths with as many decimals as it needs, at least one.
std::string DbText(int sixteenths) {
  std::string text = Format("%.4f", sixteenths / 16.0);
  while (text.back() == '0' && text[text.size() - 2] != '.') text.pop_back();
  return text;
}

std::string NotAllowedText(const std::string& text, double wanted, const std::vector<int>& allowed) {
  std::string head = "Gain " + text + " dB is not allowed: ";
  if (allowed.size() == 1) return head + "the TMA allows only " + DbText(allowed[0]) + " dB";
  std::string range = "the TMA allows " + DbText(allowed.front()) + " to " + DbText(allowed.back()) +
                      " dB in steps of " + DbText(allowed[1] - allowed[0]) + " dB";
  auto above = std::lower_bound(allowed.begin(), allowed.end(), wanted,
                                [](int v, double w) { return static_cast<double>(v) < w; });
  std::string nearest;
  if (above != allowed.begin()) nearest = DbText(*(above - 1));
  if (above != allowed.end()) nearest += (nearest.empty() ? "" : " or ") + DbText(*above);
  return head + range + "; nearest allowed: " + nearest + " dB";
}

}  // namespace

GainCheck CheckGain(const std::string& text, const GainLimits& limits) {
  GainCheck check;
  std::optional<double> db = EntryText::Number(text);
  if (!db) {
    check.Verdict = GainCheck::Status::kInvalid;
    check.Message = kInvalidGain;
    return check;
  }
  std::vector<int> allowed = AllowedSixteenths(limits);
  // A gain travels in quarters of a dB: what is typed finer than that is
  // cut toward zero first (10.3 dB goes as 41 quarters), and the quarter
  // gain must then be one the subunit allows.
  double quarters = std::trunc(*db * 4.0 + (*db < 0 ? -1e-9 : 1e-9));
  double wanted = quarters * kSixteenthsPerQuarter;
  double nearest = wanted;
  bool onGrid = std::binary_search(allowed.begin(), allowed.end(), nearest);
  if (!onGrid) {
    check.Verdict = GainCheck::Status::kNotAllowed;
    check.Message = allowed.empty()
                        ? Format("Gain %s dB is not allowed: the TMA's limits %s to %s dB allow no gain", text.c_str(),
                                 GainText(limits.MinQuarters).c_str(), GainText(limits.MaxQuarters).c_str())
                        : NotAllowedText(text, wanted, allowed);
    return check;
  }
  check.Quarters = static_cast<uint8_t>(static_cast<int>(nearest) / kSixteenthsPerQuarter);
  return check;
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
