#pragma once

#include <string>

// One device of the system's inventory, described the way the adapter search
// reads it: a display name that carries the port path in parentheses, the
// maker's name and a plug-and-play identifier.
struct PortEntity {
  std::string Name;          // "USB Serial Port (/dev/ttyUSB0)"
  std::string Manufacturer;  // "FTDI"
  std::string PnPDeviceID;   // "USB\VID_0403&PID_6001\A600XYZ1"
  // Set when the inventory could read only part of the entity; what it read
  // is used all the same.
  std::string ReadFailure;
};
