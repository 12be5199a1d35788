#pragma once

#include <string>
#include <vector>

#include "serial/PortInventory.h"

// An inventory that reports what the test put into it.
class FakePortInventory : public PortInventory {
 public:
  bool QueryEntities(std::vector<PortEntity>& entities, std::string& failure) override {
    ++queries;
    if (!queryFailure.empty()) {
      failure = queryFailure;
      return false;
    }
    entities = this->entities;
    return true;
  }
  std::vector<std::string> ExistingPorts() override { return ports; }

  void Add(const std::string& name, const std::string& manufacturer, const std::string& pnpDeviceId = "") {
    entities.push_back(PortEntity{name, manufacturer, pnpDeviceId, ""});
  }

  std::vector<PortEntity> entities;
  std::vector<std::string> ports;
  std::string queryFailure;  // non-empty: the query fails with this reason
  int queries = 0;
};
