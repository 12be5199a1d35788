#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "layer7/ResultCode.h"

// The conversions of the TMA operation page: gains travel in quarters of a
// dB, the supported functions' gain resolution in sixteenths, and the mode
// is 0 for "Normal" and 1 for "Bypass".
namespace TmaPage {

// The page reuses the tilt's message for a gain that is not a number.
inline constexpr char kInvalidGain[] = "Invalid Tilt value.";
// The field pages' message for a gain; the command-line tool gives it for a
// SET GAIN text that is not a number too.
inline constexpr char kInvalidGainValue[] = "Invalid Gain value.";
// The AISG result a TMA gives for a gain it does not take.
inline constexpr ResultCode kGainOutOfRange = static_cast<ResultCode>(36);
inline constexpr uint8_t kModeNormal = 0;
inline constexpr uint8_t kModeBypass = 1;

// SET GAIN's entry rule: a decimal number of dB (empty is 0), x 4 truncated
// to 8 bits, without a range check. Nothing for a text that is no number.
std::optional<uint8_t> GainEntry(const std::string& text);
// What the subunit's supported functions allow: the gain limits in quarters
// of a dB and the resolution in sixteenths (0 taken as one quarter, the step
// in which a gain travels).
struct GainLimits {
  uint8_t MinQuarters = 0;
  uint8_t MaxQuarters = 0;
  uint8_t ResolutionSixteenths = 0;
};

struct GainCheck {
  enum class Status { kOk, kInvalid, kNotAllowed };
  Status Verdict = Status::kOk;
  uint8_t Quarters = 0;  // the gain to send when kOk
  std::string Message;   // kInvalidGain, or the limits and the nearest allowed gains
};

// SET GAIN with the subunit's limits: a decimal number of dB (empty is 0),
// cut toward zero to the quarter dB a gain travels in, that is then one of
// the gains the subunit allows, from the minimum up in steps of the
// resolution to the maximum. Anything else is refused with the allowed
// gains nearest to it.
GainCheck CheckGain(const std::string& text, const GainLimits& limits);

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
