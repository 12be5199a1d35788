#pragma once

#include <QIcon>
#include <QString>

// The state marks of the ALD list rows, drawn here rather than loaded, so
// they need no resource files: 0 not connected (grey ring), 1 connected
// (green disc with a tick), 2 calibrating (amber disc with a tilt arrow),
// 3 disconnected (red disc with a cross). Shape as well as colour tells
// them apart.
class AldStateIcons {
 public:
  static constexpr int kOther = 0;
  static constexpr int kConnected = 1;
  static constexpr int kCalibrating = 2;
  static constexpr int kDisconnected = 3;

  // Any other number gives the icon of kOther.
  static QIcon Icon(int state);
  static QString Text(int state);
};
