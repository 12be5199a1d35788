#pragma once

#include <QIcon>

// The output pane's level marks, drawn here so they scale with the screen:
// 0 a red disc with a cross (error), 1 an amber triangle with "!"
// (warning), 2 a blue disc with "i" (information).
QIcon TraceLevelIcon(int level);
