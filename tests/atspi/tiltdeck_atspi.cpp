// Drives a running "tiltdeck --demo" over the accessibility bus as an
// automation tool would, or checks the simulated site it left behind.
//
//   tiltdeck_atspi drive TILT LAST     scan, set TILT on ALD #1 once the window
//                                      LAST is open, read it back, exit
//   tiltdeck_atspi check-state FILE UNIQUE_ID TENTHS
//
// Exit status 0 when every step held, 1 at the first that did not.
#include <atspi/atspi.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "AtspiControls.h"
#include "AtspiTree.h"

namespace {

using atspi_tree::Match;
using atspi_tree::Node;

const std::vector<AtspiRole> kButtonRoles = {ATSPI_ROLE_PUSH_BUTTON, ATSPI_ROLE_TOGGLE_BUTTON, ATSPI_ROLE_MENU_ITEM};
const std::vector<AtspiRole> kWindowRoles = {ATSPI_ROLE_WINDOW, ATSPI_ROLE_FRAME, ATSPI_ROLE_INTERNAL_FRAME};
const std::vector<AtspiRole> kBoxRoles = {ATSPI_ROLE_TEXT, ATSPI_ROLE_ENTRY};

bool Step(bool held, const std::string& what) {
  std::cout << (held ? "ok    " : "FAIL  ") << what << std::endl;
  return held;
}

Node Need(AtspiAccessible* root, const Match& match, double seconds) {
  Node found = atspi_tree::WaitForDescendant(root, match, seconds);
  Step(found != nullptr, "found \"" + match.Name + "\"");
  return found;
}

constexpr gulong kTenthOfSecondUs = 100000;

// Polls a condition of the program for up to seconds.
template <typename Condition>
bool Await(Condition condition, double seconds) {
  for (int tenth = 0; tenth < static_cast<int>(seconds * 10); ++tenth) {
    if (condition()) return true;
    g_usleep(kTenthOfSecondUs);
  }
  return condition();
}

// The button is off while the antenna moves and on again when the move and
// the read after it are done.
bool MoveTilt(AtspiAccessible* window, AtspiAccessible* box, const std::string& tilt) {
  Node set = Need(window, {kButtonRoles, "SET TILT"}, 10);
  if (!set || !Step(atspi_controls::SetText(box, tilt), "typed " + tilt + " into Tilt")) return false;
  if (!Step(atspi_controls::Press(set.get()), "pressed SET TILT")) return false;
  if (!Step(Await([&] { return !atspi_controls::IsSensitive(set.get()); }, 10), "the move started")) return false;
  return Step(Await([&] { return atspi_controls::IsSensitive(set.get()); }, 60), "the move ended");
}

bool ReadTilt(AtspiAccessible* window, AtspiAccessible* box, const std::string& expected) {
  Node get = Need(window, {kButtonRoles, "GET TILT"}, 10);
  if (!get || !Step(atspi_controls::SetText(box, ""), "cleared Tilt")) return false;
  if (!Step(atspi_controls::Press(get.get()), "pressed GET TILT")) return false;
  Await([&] { return !atspi_controls::TextOf(box).empty(); }, 20);
  std::string read = atspi_controls::TextOf(box);
  return Step(read == expected, "Tilt reads \"" + read + "\", expected \"" + expected + "\"");
}

bool Exit(AtspiAccessible* app) {
  Node exit = Need(app, {{ATSPI_ROLE_MENU_ITEM}, "Exit"}, 10);
  return exit && Step(atspi_controls::Press(exit.get()), "chose File > Exit");
}

// The scan leaves the last window it opened active: ALD #1's buttons are
// then pressed in a window in the background, as such tools press them.
int Drive(const std::string& tilt, const std::string& lastWindow) {
  atspi_init();
  // A program busy on its bus still answers between exchanges, if slowly.
  atspi_set_timeout(5000, 15000);
  Node app = atspi_tree::WaitForApplication("Tiltdeck", 30);
  if (!Step(app != nullptr, "Tiltdeck is on the accessibility bus")) return 1;
  Node scan = Need(app.get(), {kButtonRoles, "Start Scan"}, 20);
  if (!scan || !Step(atspi_controls::Press(scan.get()), "pressed Start Scan")) return 1;
  Node last = Need(app.get(), {kWindowRoles, lastWindow}, 60);
  Node window = Need(app.get(), {kWindowRoles, "ALD #1"}, 10);
  if (!last || !window) return 1;
  Node box = Need(window.get(), {kBoxRoles, "Tilt"}, 10);
  if (!box || !MoveTilt(window.get(), box.get(), tilt) || !ReadTilt(window.get(), box.get(), tilt)) return 1;
  return Exit(app.get()) ? 0 : 1;
}

int CheckStateFile(const std::string& path, const std::string& uniqueId, int tenths) {
  std::ifstream in(path);
  nlohmann::json state = nlohmann::json::parse(in, nullptr, false);
  if (!Step(in.is_open() && !state.is_discarded(), "the simulated site was saved to " + path)) return 1;
  for (const auto& device : state.value("devices", nlohmann::json::array())) {
    if (device.value("uniqueId", "") != uniqueId) continue;
    int tilt = device["subunits"].at(0).value("tilt", -9999);
    return Step(tilt == tenths,
                "the simulated RET stands at " + std::to_string(tilt) + " tenths, expected " + std::to_string(tenths))
               ? 0
               : 1;
  }
  return Step(false, "the simulated site has " + uniqueId) ? 0 : 1;
}

// A state of another shape than expected fails the check, not the checker.
int CheckState(const std::string& path, const std::string& uniqueId, int tenths) {
  try {
    return CheckStateFile(path, uniqueId, tenths);
  } catch (const nlohmann::json::exception& e) {
    return Step(false, std::string("the simulated site reads: ") + e.what()) ? 0 : 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "drive" && argc == 4) return Drive(argv[2], argv[3]);
  if (mode == "check-state" && argc == 5) return CheckState(argv[2], argv[3], std::atoi(argv[4]));
  std::cerr << "usage: tiltdeck_atspi drive TILT LAST_WINDOW | check-state FILE UNIQUE_ID TENTHS\n";
  return 2;
}
