#include "cli/RunCli.h"

#include <unistd.h>

#include <cstring>

#include "cli/CliCommands.h"
#include "cli/CliOutcome.h"
#include "cli/CliPlan.h"
#include "cli/CliSession.h"
#include "cli/CliTrace2Pcap.h"
#include "cli/TerminalText.h"
#include "core/Clock.h"
#include "serial/ECommError.h"

namespace {

constexpr char kProgram[] = "tiltdeck-cli";

// Confirmations only: the quiet tool says nothing when these succeed.
bool Confirms(const std::string& command) {
  return command == "download" || command == "selftest" || command == "reset" || command == "clear-alarms" ||
         command == "report" || command == "calibrate";
}

// One outcome: its notes, its JSON document or its lines, and one error
// line when it failed. Every text a person reads passes TerminalText, since
// device texts and typed names may hold control characters.
int Print(const CliOutcome& o, const std::string& command, const CliPlan::Options& g, std::ostream& out,
          std::ostream& err) {
  if (!g.Quiet) {
    for (const std::string& note : o.Notes) err << TerminalText(note) << "\n";
  }
  if (g.Json) {
    // Texts read from devices need not be UTF-8; such octets become U+FFFD
    // rather than ending the run.
    out << o.Doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else if (!(g.Quiet && Confirms(command))) {
    for (const std::string& line : o.Lines) out << TerminalText(line) << "\n";
  }
  if (!o.Ok()) err << kProgram << ": " << TerminalText(o.Error) << "\n";
  out.flush();
  return o.Exit;
}

int Fail(const std::string& command, int exit, const std::string& name, const std::string& message,
         const CliPlan::Options& g, std::ostream& out, std::ostream& err) {
  CliOutcome o;
  o.Fail(exit, name, message);
  // "cannot open X: no such port" says all; the name is for scripts.
  if (exit == CliExit::kPort) o.Error = message;
  o.Stamp(command);
  return Print(o, command, g, out, err);
}

std::string PortErrorName(PortDiagnosis::Kind kind) {
  switch (kind) {
    case PortDiagnosis::Kind::kNoSuchPort: return "No Such Port";
    case PortDiagnosis::Kind::kNotSerialPort: return "Not A Serial Port";
    case PortDiagnosis::Kind::kInUse: return "Port In Use";
    case PortDiagnosis::Kind::kPermissionDenied: return "Permission Denied";
    default: return "Port Not Open";
  }
}

int RunScript(CliCommands& commands, const CliPlan& plan, std::ostream& out, std::ostream& err) {
  int status = CliExit::kOk;
  size_t failures = 0;
  for (const CliScript::Line& line : plan.Script) {
    CliOutcome o = commands.Run(line.Command);
    o.Doc["line"] = line.Number;
    Print(o, line.Command.Name, plan.Global, out, err);
    if (o.Ok()) continue;
    ++failures;
    if (status == CliExit::kOk) status = o.Exit;
    if (!plan.Command.KeepGoing) break;
  }
  if (plan.Command.KeepGoing && failures > 0)
    err << kProgram << ": " << failures << " of " << plan.Script.size() << " commands failed\n";
  return status;
}

// A trace file that failed while it was written is reported once, after
// the commands, and the run does not count as a success.
int CheckTrace(CliSession& session, const CliPlan& plan, int status, std::ostream& out, std::ostream& err) {
  int error = session.Log().FileWriteError();
  if (error == 0) return status;
  std::string message = "the trace file '" + plan.Global.Trace + "' could not be written: " + std::strerror(error);
  int traced = Fail(plan.Command.Name, CliExit::kFailure, "Trace File Failure", message, plan.Global, out, err);
  return status == CliExit::kOk ? traced : status;
}

int RunOnBus(CliSession& session, const CliPlan& plan, std::ostream& out, std::ostream& err,
             const CliEnvironment& env) {
  const CliPlan::Options& g = plan.Global;
  const std::string& name = plan.Command.Name;
  PortDiagnosis why;
  session.Layer7().Link().SetExchangeTiming(!g.ExactTiming, AisgHdlc::kDefaultGuardMs);
  if (!env.Link && !session.Open(g.Port, g.Baud, why))
    return Fail(name, CliExit::kPort, PortErrorName(why.What), why.Sentence(g.Port), g, out, err);
  std::string error;
  if (!session.Start(error)) {
    int status = Fail(name, CliExit::kFailure, "Serial port failure", error, g, out, err);
    return CheckTrace(session, plan, status, out, err);
  }
  bool progress = !g.Quiet && env.Progress.value_or(isatty(STDERR_FILENO) == 1);
  CliCommands commands(session, progress ? &err : nullptr);
  int status = CliExit::kOk;
  if (name == "run") {
    status = RunScript(commands, plan, out, err);
  } else {
    CliOutcome o = commands.Run(plan.Command);
    status = Print(o, name, g, out, err);
  }
  return CheckTrace(session, plan, status, out, err);
}

int RunSession(const CliPlan& plan, std::ostream& out, std::ostream& err, const CliEnvironment& env) {
  const CliPlan::Options& g = plan.Global;
  const std::string& name = plan.Command.Name;
  CliSession session(g.Trace, env.Time ? *env.Time : Clock::System(), env.Link);
  if (!g.Trace.empty() && !session.TraceOpen())
    return Fail(name, CliExit::kUsage, "Usage", "cannot write the trace file '" + g.Trace + "'", g, out, err);
  std::string error;
  if (!g.Capture.empty() && !session.StartCapture(g.Capture, error))
    return Fail(name, CliExit::kUsage, "Usage", "cannot write the capture file '" + g.Capture + "': " + error, g, out,
                err);
  int status = RunOnBus(session, plan, out, err, env);
  // A capture that failed on the way did not stop the commands, and does
  // not change their status.
  if (auto failure = session.TakeCaptureFailure()) err << kProgram << ": " << TerminalText(*failure) << "\n";
  return status;
}

int RunChecked(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const CliEnvironment& environment) {
  CliPlan plan;
  std::string error;
  bool parsed = CliPlan::Parse(args, plan, error);
  if (parsed && plan.Help) {
    out << *plan.Help;
    return CliExit::kOk;
  }
  if (!parsed || !plan.ReadFiles(error)) {
    CliPlan::Options g = plan.Global;
    g.Json = CliPlan::WantsJson(args);
    return Fail(plan.Command.Name, CliExit::kUsage, "Usage", error, g, out, err);
  }
  if (plan.Command.Name == "trace2pcap") {
    CliOutcome o = ConvertTraceToCapture(plan.Command.Args[0], plan.Command.Args[1]);
    return Print(o, plan.Command.Name, plan.Global, out, err);
  }
  return RunSession(plan, out, err, environment);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
  // The last guard: whatever escapes the commands is one error line, never
  // an abort in the middle of a site's script.
  try {
    return RunChecked(args, out, err, environment);
  } catch (const std::exception& e) {
    err << kProgram << ": internal error: " << TerminalText(e.what()) << "\n";
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
