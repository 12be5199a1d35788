#pragma once

#include <atspi/atspi.h>

#include <string>

// Acting on one control over the accessibility bus: what a screen reader
// user or an automation script does to it.
namespace atspi_controls {

// Replaces the whole text of an edit box.
bool SetText(AtspiAccessible* box, const std::string& text);
std::string TextOf(AtspiAccessible* box);
// Does the control's press (buttons) or click action; false when it has none.
bool Press(AtspiAccessible* control);
// Whether the control takes input now (a button is off while its operation runs).
bool IsSensitive(AtspiAccessible* control);

}  // namespace atspi_controls
