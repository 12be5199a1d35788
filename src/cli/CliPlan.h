#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliScript.h"

// A run of the tool as its command line gives it, judged before the bus
// is touched: tiltdeck-cli --port PATH [--baud N] [--trace FILE] [--capture FILE]
// [--exact-timing] [--json] [--quiet] COMMAND [ARGS]. The global options may stand anywhere; every
// other token belongs to the command.
class CliPlan {
 public:
  struct Options {
    std::string Port;
    uint32_t Baud = 9600;
    std::string Trace;
    std::string Capture;
    bool Json = false;
    bool Quiet = false;
    bool ExactTiming = false;  // every answer ends on silence
  };

  Options Global;
  CliCommand Command;
  std::vector<CliScript::Line> Script;  // the lines of 'run'
  std::optional<std::string> Help;      // the text --help asks for

  // The options and the command, checked without reading any file. False
  // with one line of usage error.
  static bool Parse(const std::vector<std::string>& args, CliPlan& plan, std::string& error);
  // The script of 'run' and the file of every download, read and checked.
  bool ReadFiles(std::string& error);
  // Whether --json stands among the options: then even a command line that
  // cannot be parsed is answered with a JSON document.
  static bool WantsJson(const std::vector<std::string>& args);
};
