#pragma once

#include <cstdint>
#include <optional>
#include <string>

// How the operation and field pages turn the text of an entry box into a
// number. Shared by every front end, so that a value typed into a window and
// one given on a command line are taken the same way.
namespace EntryText {

// A decimal number over the whole text; an empty text counts as 0. Nothing
// for any other text, a decimal comma ("2,5") included, and for infinities.
std::optional<double> Number(const std::string& text);
// A decimal integer over the whole text, with an optional sign; an empty
// text counts as 0. Nothing for any other text ("1x", "6o", "abc").
std::optional<int64_t> WholeInteger(const std::string& text);
// value x factor, truncated toward zero and then cut to the low 8 or 16
// bits, the way a C cast into the field's width cuts it.
uint8_t Truncate8(double value, double factor);
uint16_t Truncate16(double value, double factor);
// value x factor truncated toward zero, when the field can hold it: the
// result lies within [min, max], and a value that is not 0 does not become
// 0 (it is smaller than one step of the field). Nothing otherwise.
std::optional<int64_t> Scaled(double value, double factor, int64_t min, int64_t max);

}  // namespace EntryText
