#pragma once

#include "bus/BusView.h"
#include "bus/DeviceWindows.h"
#include "bus/UserMessages.h"

// The three faces of the user interface that the bus talks to.
struct BusUi {
  BusView& View;
  DeviceWindows& Windows;
  UserMessages& Messages;
};
