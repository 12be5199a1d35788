#include "AtspiTree.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace atspi_tree {

namespace {

// Deep enough for a box on a page in a tab of a device window in the workspace.
constexpr int kMaxDepth = 40;

bool SkipsRows(AtspiRole role) {
  return role == ATSPI_ROLE_LIST || role == ATSPI_ROLE_TABLE || role == ATSPI_ROLE_TREE_TABLE ||
         role == ATSPI_ROLE_TREE || role == ATSPI_ROLE_LIST_BOX;
}

bool Matches(AtspiAccessible* object, const Match& match) {
  AtspiRole role = RoleOf(object);
  bool roleFits = std::find(match.Roles.begin(), match.Roles.end(), role) != match.Roles.end();
  return roleFits && NameOf(object) == match.Name;
}

Node Search(AtspiAccessible* object, const Match& match, int depth) {
  if (Matches(object, match)) return Node(static_cast<AtspiAccessible*>(g_object_ref(object)));
  if (depth >= kMaxDepth || SkipsRows(RoleOf(object))) return nullptr;
  gint count = atspi_accessible_get_child_count(object, nullptr);
  for (gint i = 0; i < count; ++i) {
    Node child(atspi_accessible_get_child_at_index(object, i, nullptr));
    if (!child) continue;
    Node found = Search(child.get(), match, depth + 1);
    if (found) return found;
  }
  return nullptr;
}

template <typename Look>
Node Poll(double seconds, Look look) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    Node found = look();
    if (found || std::chrono::steady_clock::now() >= deadline) return found;
    // Another process: there is no signal of ours to wait on.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace

std::string NameOf(AtspiAccessible* object) {
  gchar* name = atspi_accessible_get_name(object, nullptr);
  std::string text = name ? name : "";
  g_free(name);
  return text;
}

AtspiRole RoleOf(AtspiAccessible* object) {
  return atspi_accessible_get_role(object, nullptr);
}

Node FindApplication(const std::string& appName) {
  Node desktop(atspi_get_desktop(0));
  if (!desktop) return nullptr;
  gint count = atspi_accessible_get_child_count(desktop.get(), nullptr);
  for (gint i = 0; i < count; ++i) {
    Node app(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
    if (!app) continue;
    atspi_accessible_set_cache_mask(app.get(), ATSPI_CACHE_NONE);
    atspi_accessible_clear_cache(app.get());
    if (NameOf(app.get()) == appName) return app;
  }
  return nullptr;
}

Node FindDescendant(AtspiAccessible* root, const Match& match) {
  atspi_accessible_clear_cache(root);
  return Search(root, match, 0);
}

Node WaitForDescendant(AtspiAccessible* root, const Match& match, double seconds) {
  return Poll(seconds, [&] { return FindDescendant(root, match); });
}

Node WaitForApplication(const std::string& appName, double seconds) {
  return Poll(seconds, [&] { return FindApplication(appName); });
}

}  // namespace atspi_tree
