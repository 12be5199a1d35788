#pragma once

#include "serial/PortInventory.h"

// The serial ports Qt finds on this machine (udev on Linux).
class PortInventoryQt : public PortInventory {
 public:
  bool QueryEntities(std::vector<PortEntity>& entities, std::string& failure) override;
  std::vector<std::string> ExistingPorts() override;
};
