#pragma once

#include <cstdint>
#include <string>

// What the device window asks of the vendor-specific procedure: write the
// device's identity (operation 0) or clear its memory (operation 1).
struct VendorCommand {
  static constexpr uint8_t kWriteIdentity = 0;
  static constexpr uint8_t kClearMemory = 1;

  uint8_t Operation = kWriteIdentity;
  std::string SerialNumber;
  std::string ProductNumber;
  std::string HardwareVersion;
};
