#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/VirtualBus.h"

// The aldsim program: serves a site of simulated ALDs on a pseudo-terminal
// until SIGINT or SIGTERM, and prints the state of every device as JSON on
// standard error at each SIGUSR1.
class AldSimApp {
 public:
  struct Options {
    std::string LinkPath = "/tmp/tiltdeck-sim";
    std::string SitePath;  // empty: the built-in demonstration site
    std::optional<uint32_t> Baud;
    std::optional<uint32_t> TurnaroundMs;
    std::optional<VirtualBus::Collisions> Collisions;
    std::string Faults;
    std::string LogPath;
    std::string CapturePath;
    std::string WriteSitePath;  // write the site there and exit
    bool Help = false;
    // Fault lists read from standard input while serving, one a line.
    bool Control = false;
  };

  static std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string* error);
  static std::string Usage();
  // The process's exit code: 0 after a signal, 1 on a failure, 2 on bad options.
  static int Main(int argc, char** argv);

 private:
  static int Serve(const Options& options);
  static int WaitForSignals(VirtualBus& bus, bool control);
};
