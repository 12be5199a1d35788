#pragma once

#include <atspi/atspi.h>

#include <memory>
#include <string>
#include <vector>

// Finding the objects of a program on the accessibility bus, as a screen
// reader or an automation tool walks them.
namespace atspi_tree {

struct Unref {
  void operator()(AtspiAccessible* object) const {
    if (object) g_object_unref(object);
  }
};
using Node = std::unique_ptr<AtspiAccessible, Unref>;

// What an object is looked for by: its exact name and one of the roles.
struct Match {
  std::vector<AtspiRole> Roles;
  std::string Name;
};

std::string NameOf(AtspiAccessible* object);
AtspiRole RoleOf(AtspiAccessible* object);

// The application on the bus whose name is appName; null when none is.
// Nothing of it is cached: every look asks the program.
Node FindApplication(const std::string& appName);

// The first object under root that matches, depth first. The rows of lists,
// tables and trees are not walked: the trace alone holds thousands.
Node FindDescendant(AtspiAccessible* root, const Match& match);

// Looks again until the object shows up or seconds have passed.
Node WaitForDescendant(AtspiAccessible* root, const Match& match, double seconds);
Node WaitForApplication(const std::string& appName, double seconds);

}  // namespace atspi_tree
