#pragma once

#include <memory>
#include <string>

class PtyServer;
class VirtualBus;

// A simulated AISG bus served inside the program on a pseudo-terminal, for
// trying the program without a tower: the program opens the terminal's
// slave like the port of an RS-485 adapter.
class DemoBus {
 public:
  DemoBus();
  ~DemoBus();
  DemoBus(const DemoBus&) = delete;
  DemoBus& operator=(const DemoBus&) = delete;

  // The built-in demo site when sitePath is empty.
  bool Start(const std::string& sitePath, std::string* error);
  const std::string& PortPath() const;
  size_t DeviceCount() const;
  // The devices, to act on them while served (tests power them off).
  VirtualBus& Bus() { return *bus_; }
  // What the title and status bar say about the bus.
  std::string Description() const;
  // Every device with its live state (tilts, gains, alarms, connection) as
  // JSON, for a script to check what a run did to the devices.
  bool SaveState(const std::string& path, std::string* error);

 private:
  std::unique_ptr<VirtualBus> bus_;
  std::unique_ptr<PtyServer> server_;
  std::string siteName_;
};
