// The command-line tool's answers before it reaches the bus: help, usage
// errors and a port that cannot be opened, in-process and as a program.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "DeniedPort.h"
#include "PtyPair.h"
#include "TempDir.h"
#include "cli/RunCli.h"
#include "core/FakeClock.h"

namespace {

struct Result {
  int Status;
  std::string Out;
  std::string Err;
};

Result Cli(const std::vector<std::string>& args) {
  FakeClock clock;
  std::ostringstream out, err;
  int status = RunCli(args, out, err, CliEnvironment{&clock, false, {}});
  return {status, out.str(), err.str()};
}

TEST(CliUsage, HelpForTheToolAndForEveryCommand) {
  Result r = Cli({"--help"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out.rfind("usage: tiltdeck-cli --port PATH", 0), 0u);
  for (const char* command : {"scan", "info", "alarms", "tilt", "calibrate", "tma", "field", "download", "selftest",
                              "reset", "clear-alarms", "report", "run"}) {
    EXPECT_NE(r.Out.find(std::string("\n  ") + command), std::string::npos) << command;
    Result one = Cli({command, "--help"});
    EXPECT_EQ(one.Status, 0) << command;
    EXPECT_NE(one.Out.find(std::string("[OPTIONS] ") + command), std::string::npos) << one.Out;
  }
  EXPECT_EQ(Cli({"frobnicate", "--help"}).Status, 2);
}

// Each a usage error (status 2) with one line on standard error; none of
// them opens the port, so the missing port does not matter.
TEST(CliUsage, BadCommandLinesAreUsageErrors) {
  TempDir dir;
  std::string bad = dir.File("bad.txt");
  std::ofstream(bad) << "tilt 1\n\n# a comment\nfrobnicate 2\n";
  std::string nested = dir.File("nested.txt");
  std::ofstream(nested) << "run other.txt\n";
  std::string arity = dir.File("arity.txt");
  std::ofstream(arity) << "info 1 2\n";
  std::string words = dir.File("words.txt");
  std::ofstream(words) << "tilt 1 --set 3\nfield 1 get all\nfield 1 set antenna-modle-number X\n";
  std::string quote = dir.File("quote.txt");
  std::ofstream(quote) << "field 1 set antenna-model-number \"ABC\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no command given (try --help)"},
      {{"scan"}, "--port PATH is required"},
      {{"--port"}, "--port needs a value"},
      {{"--port", "/dev/null", "--baud", "fast", "scan"}, "bad baud rate 'fast'"},
      {{"--port", "/dev/null", "--baud", "12345", "scan"}, "baud rate 12345 not supported by serial ports"},
      {{"--port", "/dev/null", "frobnicate"}, "unknown command 'frobnicate' (try --help)"},
      {{"--port", "/dev/null", "tilt", "1", "--set"}, "--set needs a value"},
      {{"--port", "/dev/null", "tilt", "1", "--sett", "3"}, "unknown option --sett"},
      {{"--port", "/dev/null", "run", dir.File("missing.txt")}, "cannot read script '" + dir.File("missing.txt") + "'"},
      {{"--port", "/dev/null", "run", bad}, bad + ":4: unknown command 'frobnicate' (try --help)"},
      {{"--port", "/dev/null", "run", arity},
       arity + ":1: wrong number of arguments for 'info' (see tiltdeck-cli info --help)"},
      {{"--port", "/dev/null", "tilt"}, "wrong number of arguments for 'tilt' (see tiltdeck-cli tilt --help)"},
      {{"--port", "/dev/null", "download", "firmware", "1"},
       "wrong number of arguments for 'download' (see tiltdeck-cli download --help)"},
      {{"--port", "/dev/null", "run", nested}, nested + ":1: a script cannot run another script"},
      {{"--port", "/dev/null", "run", quote}, quote + ":1: unterminated quote"},
      {{"--port", "/dev/null", "run", words}, words + ":3: unknown field 'antenna-modle-number'"},
      {{"--port", "/dev/null", "field", "1", "put", "6", "1"}, "field: 'get' or 'set', not 'put'"},
      {{"--port", "/dev/null", "tma", "1", "gian"}, "tma: 'gain', 'mode' or 'functions', not 'gian'"},
      {{"--port", "/dev/null", "download", "image", "1", "f.bin"},
       "download what? 'firmware' or 'config', not 'image'"},
  };
  for (const auto& [args, message] : cases) {
    Result r = Cli(args);
    EXPECT_EQ(r.Status, 2) << message;
    EXPECT_EQ(r.Err, "tiltdeck-cli: " + message + "\n");
    EXPECT_EQ(r.Out, "");
  }
}

TEST(CliUsage, PortThatCannotBeOpened) {
  TempDir dir;
  Result r = Cli({"--port", dir.File("no-such-port"), "scan"});
  EXPECT_EQ(r.Status, 3);
  EXPECT_EQ(r.Err.rfind("tiltdeck-cli: cannot open " + dir.File("no-such-port"), 0), 0u) << r.Err;
  EXPECT_EQ(r.Out, "");
  r = Cli({"--port", dir.File("no-such-port"), "--trace", dir.File("no-folder/trace.txt"), "scan"});
  EXPECT_EQ(r.Status, 2) << "an unwritable trace file is found first";
}

// Every failure to open said "port not open". Each now says what the path
// is; a name with a slash is a path as given, relative ones included, and
// a bare name is looked up under /dev/ first, then in the working folder.
TEST(CliUsage, PortThatCannotBeOpenedSaysWhy) {
  TempDir dir;
  std::string file = dir.File("ttyFILE");
  std::ofstream(file) << "not a port";
  PtyPair held;
  int other = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "another program holds the port";
  std::string cwd = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.Path());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir.File("none"), "no such port"},
      {file, "not a serial port (a regular file)"},
      {dir.Path().string(), "not a serial port (a directory)"},
      {"/dev/null", "not a serial port (a device that is not a terminal)"},
      {"null", "not a serial port (a device that is not a terminal)"},
      {"./ttyFILE", "not a serial port (a regular file)"},
      {"ttyFILE", "not a serial port (a regular file)"},
      {"./none", "no such port"},
      {held.SlavePath(), "in use by another program"},
  };
  for (const auto& [port, why] : cases) {
    Result r = Cli({"--port", port, "scan"});
    EXPECT_EQ(r.Status, 3) << port;
    EXPECT_EQ(r.Err, "tiltdeck-cli: cannot open " + port + ": " + why + "\n");
  }
  std::filesystem::current_path(cwd);
  close(other);
}

// A port the user may not open: the one line names the group that lets
// them in, in the words the window traces and shows.
TEST(CliUsage, PortTheUserMayNotOpenNamesTheGroupToJoin) {
  PtyPair line;
  DeniedPort denied(line.SlavePath());
  if (!denied.Ready()) GTEST_SKIP() << "cannot refuse a terminal here (no dialout group or no user nobody)";
  Result r{}, asJson{};
  {
    DeniedPort::Refused asUser(denied);
    r = Cli({"--port", line.SlavePath(), "scan"});
    asJson = Cli({"--json", "--port", line.SlavePath(), "scan"});
  }
  std::string message = "cannot open " + line.SlavePath() + ": permission denied";
  if (denied.Dialout()) message += " (join the group 'dialout': sudo usermod -aG dialout $USER, then log in again)";
  EXPECT_EQ(r.Status, 3);
  EXPECT_EQ(r.Err, "tiltdeck-cli: " + message + "\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(asJson.Status, 3);
  nlohmann::json doc = nlohmann::json::parse(asJson.Out, nullptr, false);
  EXPECT_EQ(doc.value("error", ""), "Permission Denied") << asJson.Out;
  EXPECT_EQ(doc.value("message", ""), message) << asJson.Out;
}

// The program itself: main() hands its arguments and streams over.
TEST(CliUsage, TheProgramGivesTheSameStatus) {
  const char* bin = std::getenv("TILTDECK_BIN");
  std::string program = std::string(bin ? bin : "build/bin") + "/tiltdeck-cli";
  TempDir dir;
  std::string out = dir.File("out.txt");
  std::string err = dir.File("err.txt");
  auto run = [&](const std::string& args) {
    int status = std::system((program + " " + args + " >" + out + " 2>" + err).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run("--help"), 0);
  EXPECT_NE(ReadFile(out).find("Exit status: 0 success"), std::string::npos);
  EXPECT_EQ(run("--port " + dir.File("none") + " scan"), 3);
  EXPECT_EQ(ReadFile(err).rfind("tiltdeck-cli: cannot open", 0), 0u);
  EXPECT_EQ(run("scan"), 2);
}

}  // namespace
