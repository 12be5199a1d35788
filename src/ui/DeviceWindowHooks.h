#pragma once

#include <functional>

#include "layer7/FirmwareFile.h"
#include "layer7/ResultCode.h"

// What the device windows need from the program around them: the file
// choice of the downloads, the bus-wide commands a page starts, and the
// pause of the page-wide reads and writes. The main window fills them in;
// tests put recorders and instant pauses in their place. Any hook left
// empty does nothing (a file choice then counts as cancelled).
struct DeviceWindowHooks {
  // The file-open dialog of both downloads; nothing when cancelled.
  FirmwareFile::ChooseFile ChooseFile;
  // Calibrates every RET on the bus (the RET page's CALIBRATE ALL).
  std::function<void()> CalibrateAll;
  // After a firmware download went through: waits for the device to
  // restart, addresses and connects it again and refreshes the window.
  std::function<void()> AfterFirmware;
  // Waits the given time while the windows repaint.
  std::function<void(int milliseconds)> Pause;
};
