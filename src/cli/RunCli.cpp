#include "cli/RunCli.h"

#include <unistd.h>

#include <fstream>

#include "cli/CliCommand.h"
#include "cli/CliCommands.h"
#include "cli/CliHelp.h"
#include "cli/CliOutcome.h"
#include "cli/CliSession.h"
#include "cli/CliTrace2Pcap.h"
#include "core/Clock.h"
#include "serial/AisgSerial.h"
#include "serial/ECommError.h"

namespace {

constexpr char kProgram[] = "tiltdeck-cli";

struct GlobalOptions {
  std::string Port;
  uint32_t Baud = AisgSerial::kDefaultBaudRate;
  std::string Trace;
  std::string Capture;
  bool Json = false;
  bool Quiet = false;
  std::vector<std::string> CommandTokens;
};

// One line of a script, kept with its line number for the messages.
struct ScriptLine {
  int Number;
  CliCommand Command;
};

int Usage(std::ostream& err, const std::string& text) {
  err << kProgram << ": " << text << "\n";
  return CliExit::kUsage;
}

bool ParseBaud(const std::string& text, uint32_t& baud) {
  if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  baud = static_cast<uint32_t>(std::stoul(text));
  return baud > 0;
}

// The global options may stand anywhere; every other token belongs to the
// command.
bool ParseGlobal(const std::vector<std::string>& args, GlobalOptions& g, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool valued = a == "--port" || a == "--baud" || a == "--trace" || a == "--capture";
    if (valued && i + 1 >= args.size()) {
      error = a + " needs a value";
      return false;
    }
    if (a == "--port") {
      g.Port = args[++i];
    } else if (a == "--baud") {
      if (!ParseBaud(args[++i], g.Baud)) {
        error = "bad baud rate '" + args[i] + "'";
        return false;
      }
    } else if (a == "--trace") {
      g.Trace = args[++i];
    } else if (a == "--capture") {
      g.Capture = args[++i];
    } else if (a == "--json") {
      g.Json = true;
    } else if (a == "--quiet") {
      g.Quiet = true;
    } else {
      g.CommandTokens.push_back(a);
    }
  }
  return true;
}

// Confirmations only: the quiet tool says nothing when these succeed.
bool Confirms(const std::string& command) {
  return command == "download" || command == "selftest" || command == "reset" || command == "clear-alarms" ||
         command == "report" || command == "calibrate";
}

void Print(const CliOutcome& o, const std::string& command, const GlobalOptions& g, std::ostream& out,
           std::ostream& err) {
  if (!g.Quiet) {
    for (const std::string& note : o.Notes) err << note << "\n";
  }
  if (g.Json) {
    // Texts read from devices need not be UTF-8; such octets become U+FFFD
    // rather than ending the run.
    out << o.Doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else if (!(g.Quiet && Confirms(command))) {
    for (const std::string& line : o.Lines) out << line << "\n";
  }
  if (!o.Ok()) err << kProgram << ": " << o.Error << "\n";
  out.flush();
}

// Every line is checked before the bus is touched, so a typing error on
// line 20 does not leave a site half done.
bool ReadScript(const std::string& path, std::vector<ScriptLine>& lines, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read script '" + path + "'";
    return false;
  }
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    std::vector<std::string> tokens;
    if (!CliCommand::Tokenize(text, tokens)) {
      error = path + ":" + std::to_string(number) + ": unterminated quote";
      return false;
    }
    if (tokens.empty() || tokens[0].rfind('#', 0) == 0) continue;
    CliCommand c;
    std::string why;
    bool ok = CliCommand::Parse(tokens, c, why) && CliCommands::CheckSyntax(c, why);
    if (ok && (c.Name == "run" || c.Help)) {
      ok = false;
      why = c.Help ? "--help in a script" : "a script cannot run another script";
    }
    if (!ok) {
      error = path + ":" + std::to_string(number) + ": " + why;
      return false;
    }
    lines.push_back({number, c});
  }
  return true;
}

int RunScript(CliCommands& commands, const std::vector<ScriptLine>& lines, bool keepGoing, const GlobalOptions& g,
              std::ostream& out, std::ostream& err) {
  int status = CliExit::kOk;
  size_t failures = 0;
  for (const ScriptLine& line : lines) {
    CliOutcome o = commands.Run(line.Command);
    o.Doc["line"] = line.Number;
    Print(o, line.Command.Name, g, out, err);
    if (o.Ok()) continue;
    ++failures;
    if (status == CliExit::kOk) status = o.Exit;
    if (!keepGoing) break;
  }
  if (keepGoing && failures > 0) err << kProgram << ": " << failures << " of " << lines.size() << " commands failed\n";
  return status;
}

int RunOnBus(CliSession& session, const GlobalOptions& g, const CliCommand& command,
             const std::vector<ScriptLine>& script, std::ostream& out, std::ostream& err, const CliEnvironment& env) {
  std::string error;
  CliSession::OpenStatus open = session.Open(g.Port, g.Baud, error);
  if (open == CliSession::OpenStatus::kBadBaud) return Usage(err, error);
  if (open != CliSession::OpenStatus::kOpen) {
    err << kProgram << ": " << error << "\n";
    return CliExit::kPort;
  }
  if (!session.Start(error)) {
    err << kProgram << ": " << error << "\n";
    return CliExit::kFailure;
  }
  bool progress = !g.Quiet && env.Progress.value_or(isatty(STDERR_FILENO) == 1);
  CliCommands commands(session, progress ? &err : nullptr);
  if (command.Name == "run") return RunScript(commands, script, command.KeepGoing, g, out, err);
  CliOutcome o = commands.Run(command);
  Print(o, command.Name, g, out, err);
  return o.Exit;
}

int RunSession(const GlobalOptions& g, const CliCommand& command, const std::vector<ScriptLine>& script,
               std::ostream& out, std::ostream& err, const CliEnvironment& env) {
  CliSession session(g.Trace, env.Time ? *env.Time : Clock::System());
  if (!g.Trace.empty() && !session.TraceOpen()) return Usage(err, "cannot write the trace file '" + g.Trace + "'");
  std::string error;
  if (!g.Capture.empty() && !session.StartCapture(g.Capture, error)) {
    return Usage(err, "cannot write the capture file '" + g.Capture + "': " + error);
  }
  int status = RunOnBus(session, g, command, script, out, err, env);
  // A capture that failed on the way did not stop the commands, and does
  // not change their status.
  if (auto failure = session.TakeCaptureFailure()) err << kProgram << ": " << *failure << "\n";
  return status;
}

int RunChecked(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const CliEnvironment& environment) {
  GlobalOptions g;
  std::string error;
  if (!ParseGlobal(args, g, error)) return Usage(err, error);
  if (g.CommandTokens.empty()) return Usage(err, "no command given (try --help)");
  CliCommand command;
  if (!CliCommand::Parse(g.CommandTokens, command, error)) return Usage(err, error);
  if (command.Help) {
    out << (command.Name.empty() ? CliHelp::General() : CliHelp::OfCommand(command.Name));
    return command.Name.empty() || CliCommands::Known(command.Name)
               ? CliExit::kOk
               : Usage(err, "unknown command '" + command.Name + "'");
  }
  if (!CliCommands::CheckSyntax(command, error)) return Usage(err, error);
  std::vector<ScriptLine> script;
  if (command.Name == "run" && !ReadScript(command.Args[0], script, error)) return Usage(err, error);
  if (command.Name == "trace2pcap") {
    CliOutcome o = ConvertTraceToCapture(command.Args[0], command.Args[1]);
    Print(o, command.Name, g, out, err);
    return o.Exit;
  }
  if (g.Port.empty()) return Usage(err, "--port PATH is required");
  return RunSession(g, command, script, out, err, environment);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
  // The last guard: whatever escapes the commands is one error line, never
  // an abort in the middle of a site's script.
  try {
    return RunChecked(args, out, err, environment);
  } catch (const std::exception& e) {
    err << kProgram << ": internal error: " << e.what() << "\n";
  } catch (const ECommError& e) {
    err << kProgram << ": serial port failure (error " << e.Code << ")\n";
  }
  return CliExit::kFailure;
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return RunCli(args, out, err);
}
