#pragma once

#include <string>
#include <vector>

#include "serial/PortEntity.h"

// The system's view of its serial devices. The adapter search and the port
// list sit on this, so they are tested without the platform's inventory.
class PortInventory {
 public:
  virtual ~PortInventory() = default;

  // Fills entities in the order the system reports them. Returns false with a
  // reason when the inventory could not be asked at all.
  virtual bool QueryEntities(std::vector<PortEntity>& entities, std::string& failure) = 0;

  // Device paths of the serial ports that exist now, in the system's order.
  virtual std::vector<std::string> ExistingPorts() = 0;
};
