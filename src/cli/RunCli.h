#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class AisgHdlc;
class AldTable;
class Clock;
class TraceLog;

// What the tool takes from its surroundings; tests give their own.
struct CliEnvironment {
  // The clock of every bus wait; the system clock when null.
  Clock* Time = nullptr;
  // Whether downloads draw a progress bar on err; when not set, exactly
  // when standard error is a terminal.
  std::optional<bool> Progress;
  // The link to the bus, made for the session; the serial port named by
  // --port when not set. Tests give a simulated bus in-process.
  std::function<std::unique_ptr<AisgHdlc>(TraceLog&, AldTable&)> Link;
};

// The command-line tool: tiltdeck-cli --port PATH [--baud N] [--trace FILE]
// [--json] [--quiet] COMMAND [ARGS]. Returns the exit status (CliExit).
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment = {});
