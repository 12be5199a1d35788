#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The conversions of the TMA operation page: gains travel in quarters of a
// dB, the supported functions' gain resolution in sixteenths, and the mode
// is 0 for "Normal" and 1 for "Bypass".
namespace TmaPage {

// The page reuses the tilt's message for a gain that is not a number.
inline constexpr char kInvalidGain[] = "Invalid Tilt value.";
inline constexpr uint8_t kModeNormal = 0;
inline constexpr uint8_t kModeBypass = 1;

// SET GAIN's entry rule: a decimal number of dB (empty is 0), x 4 truncated
// to 8 bits, without a range check. Nothing for a text that is no number.
std::optional<uint8_t> GainEntry(const std::string& text);
// "%.1f" of the octet x 0.25.
std::string GainText(uint8_t quarters);
// "%.1f" of the octet x 0.0625.
std::string GainResolutionText(uint8_t sixteenths);
double GainDb(uint8_t quarters);
double GainResolutionDb(uint8_t sixteenths);

// "Normal" for 0, "Bypass" for 1; a mode the device defines otherwise is
// shown as its number, since the page selects neither button for it.
std::string ModeText(uint8_t mode);
// "normal" or "bypass" in any case.
std::optional<uint8_t> ModeFromText(const std::string& text);

}  // namespace TmaPage
