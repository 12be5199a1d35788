#include "AtspiControls.h"

#include <algorithm>
#include <cctype>

namespace atspi_controls {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

bool Pressing(AtspiAction* action, gint index) {
  gchar* name = atspi_action_get_action_name(action, index, nullptr);
  std::string lower = Lower(name ? name : "");
  g_free(name);
  return lower == "press" || lower == "click" || lower == "activate";
}

}  // namespace

bool SetText(AtspiAccessible* box, const std::string& text) {
  AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(box);
  if (!editable) return false;
  gboolean done = atspi_editable_text_set_text_contents(editable, text.c_str(), nullptr);
  g_object_unref(editable);
  return done;
}

std::string TextOf(AtspiAccessible* box) {
  AtspiText* text = atspi_accessible_get_text_iface(box);
  if (!text) return {};
  gint count = atspi_text_get_character_count(text, nullptr);
  gchar* contents = atspi_text_get_text(text, 0, count, nullptr);
  std::string result = contents ? contents : "";
  g_free(contents);
  g_object_unref(text);
  return result;
}

bool Press(AtspiAccessible* control) {
  AtspiAction* action = atspi_accessible_get_action_iface(control);
  if (!action) return false;
  bool done = false;
  gint count = atspi_action_get_n_actions(action, nullptr);
  for (gint i = 0; i < count && !done; ++i) {
    if (Pressing(action, i)) done = atspi_action_do_action(action, i, nullptr);
  }
  g_object_unref(action);
  return done;
}

bool IsSensitive(AtspiAccessible* control) {
  AtspiStateSet* states = atspi_accessible_get_state_set(control);
  bool sensitive = states && atspi_state_set_contains(states, ATSPI_STATE_SENSITIVE);
  if (states) g_object_unref(states);
  return sensitive;
}

}  // namespace atspi_controls
