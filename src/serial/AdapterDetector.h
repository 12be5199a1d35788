#pragma once

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

class PortInventory;
class TraceLog;

// Finds the port of the USB-to-RS-485 adapter, so the user need not know
// which device node the system gave it, and lists the ports for the options
// dialog. The port found is kept process-wide (AisgSerial::DetectedPort);
// whether this detector ever found one is its own AdapterFound.
//
// A device counts as a port when the text inside the last parentheses of its
// name is a device path, "/dev/" and at least one more character, as in
// "FT232R USB UART (/dev/ttyUSB0)"; that path is the port name. The adapter
// is the first such port whose manufacturer contains "FTDI" (exact case).
class AdapterDetector {
 public:
  static constexpr size_t kMaxPorts = 32;

  // Inventory failures are diagnostics for the developer, not trace lines:
  // they go to the diagnostics stream.
  AdapterDetector(TraceLog& log, PortInventory& inventory, std::ostream& diagnostics = std::cerr);

  // Appends the existing ports, at most kMaxPorts; nothing traced.
  void ListPorts(std::vector<std::string>& ports);
  // Searches the inventory; returns AdapterFound after the search. A search
  // without an FTDI port changes neither AdapterFound nor the detected port.
  int32_t FindAdapterPort();
  // The port of the last adapter found by any detector; empty when none.
  static std::string GetDetectedPort();
  int32_t AdapterFound() const { return adapterFound_; }

  // The port path inside name, or empty when name does not name a port.
  static std::string PortInName(const std::string& name);

 private:
  TraceLog& log_;
  PortInventory& inventory_;
  std::ostream& diagnostics_;
  int32_t adapterFound_ = 0;
};
