#pragma once

#include <optional>
#include <string>
#include <vector>

// The program's own command line, after Qt took its options out of it.
struct StartupOptions {
  std::string Port;  // --port PATH: this run only, the settings keep theirs
  bool Demo = false;
  std::string DemoSite;       // --demo SITE.json; empty: the built-in demo site
  std::string ScreenshotDir;  // --screenshot-dir DIR (not in the usage text)
  bool Help = false;

  // args without the program name. Nothing and an error text on a bad line.
  static std::optional<StartupOptions> Parse(const std::vector<std::string>& args, std::string* error);
  // Options answered before any window: --help, --detect-adapter.
  static bool Asks(int argc, char** argv, const char* option);
  static std::string Usage();
};
