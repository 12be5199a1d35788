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
// The leading signed decimal digits; a text that does not start with a
// number counts as 0, and what follows the digits is ignored.
long Integer(const std::string& text);
// value x factor, truncated toward zero and then cut to the low 8 or 16
// bits, the way a C cast into the field's width cuts it.
uint8_t Truncate8(double value, double factor);
uint16_t Truncate16(double value, double factor);

}  // namespace EntryText
