#pragma once

#include <string>

// The user's desktop folder, where the trace file goes; the home folder when
// the user has no desktop folder.
std::string DesktopFolder();
