#pragma once

#include <string>

// Texts that devices hold come from the wire and may be any octets, while
// a site file and the state dump are JSON, which carries UTF-8 only. Octets
// outside printable ASCII are written as \xNN and a backslash as \\, so
// every text is dumped and read back octet for octet.
namespace SimText {

std::string Escape(const std::string& octets);
// The octets of an escaped text; a backslash that starts no escape stays.
std::string Unescape(const std::string& text);

}  // namespace SimText
