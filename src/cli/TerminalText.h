#pragma once

#include <string>

// Text for a person's terminal: device texts (identities, field values) are
// octets from the wire, and a device must not be able to move the cursor,
// recolour or retitle the technician's terminal. Control characters (C0,
// DEL and C1) and octets that are not UTF-8 are shown as \xNN; printable
// UTF-8 passes unchanged.
std::string TerminalText(const std::string& octets);
