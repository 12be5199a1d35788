#pragma once

#include <QString>

#include "layer7/ResultCode.h"

class QPushButton;

// The device window as its pages see it: the result boxes, the alarm
// refresh and the other operations a page ends with. Every call acts on the
// current ALD, like the pages' own operations.
class DevicePageOwner {
 public:
  virtual ~DevicePageOwner() = default;

  // The result's name in the window's result boxes; the button, when
  // given, takes the result's colour in its caption.
  virtual void ShowResult(ResultCode result, QPushButton* button) = 0;
  virtual void ShowAlarmStatus(const QString& text, bool alarmed) = 0;
  virtual void GetAlarms() = 0;
  virtual void RefreshAld() = 0;
  // The service code typed into the tilt box shows the identity SET button.
  virtual void SetServiceMode(bool on) = 0;
  // The firmware download of the current ALD: file choice, checksum file,
  // transfer. kUserCancelled when the user chose no file.
  virtual ResultCode Download() = 0;
  // The pause between the reads and writes of a GET or SET of a whole page:
  // waits the given time while the windows repaint. Tests make it instant.
  virtual void Pause(int milliseconds) = 0;
};
