#pragma once

#include <QIcon>

// The buttons of the properties pane's toolbar, drawn here so they need no
// resource files. Mid-tone colours read on light and dark looks alike.
class PaneToolIcons {
 public:
  // A tree with a plus and a minus box.
  static QIcon ExpandCollapse();
  // A list of name/value lines.
  static QIcon Properties();
  // A circular arrow.
  static QIcon Refresh();
};
