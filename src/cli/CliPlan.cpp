#include "cli/CliPlan.h"

#include "cli/CliChecks.h"
#include "cli/CliHelp.h"
#include "core/Format.h"
#include "serial/AisgSerial.h"

namespace {

bool Valued(const std::string& option) {
  return option == "--port" || option == "--baud" || option == "--trace" || option == "--capture";
}

bool ParseBaud(const std::string& text, uint32_t& baud) {
  if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  baud = static_cast<uint32_t>(std::stoul(text));
  return baud > 0;
}

bool ParseOptions(const std::vector<std::string>& args, CliPlan::Options& g, std::vector<std::string>& command,
                  std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (Valued(a) && i + 1 >= args.size()) {
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
      if (!AisgSerial::SupportsBaud(g.Baud)) {
        error = "baud rate " + args[i] + " not supported by serial ports";
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
    } else if (a == "--exact-timing") {
      g.ExactTiming = true;
    } else {
      command.push_back(a);
    }
  }
  return true;
}

bool HelpOf(const CliCommand& c, std::optional<std::string>& help, std::string& error) {
  if (!c.Name.empty() && !CliChecks::Known(c.Name)) {
    error = "unknown command '" + c.Name + "' (try --help)";
    return false;
  }
  help = c.Name.empty() ? CliHelp::General() : CliHelp::OfCommand(c.Name);
  return true;
}

}  // namespace

bool CliPlan::WantsJson(const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (Valued(args[i]))
      ++i;
    else if (args[i] == "--json")
      return true;
  }
  return false;
}

bool CliPlan::Parse(const std::vector<std::string>& args, CliPlan& plan, std::string& error) {
  plan = CliPlan{};
  std::vector<std::string> tokens;
  if (!ParseOptions(args, plan.Global, tokens, error)) return false;
  if (tokens.empty()) {
    error = "no command given (try --help)";
    return false;
  }
  if (!CliCommand::Parse(tokens, plan.Command, error)) return false;
  if (plan.Command.Help) return HelpOf(plan.Command, plan.Help, error);
  if (!CliChecks::Syntax(plan.Command, error)) return false;
  // A trace file converts without a bus.
  if (plan.Global.Port.empty() && plan.Command.Name != "trace2pcap") {
    error = "--port PATH is required";
    return false;
  }
  return true;
}

bool CliPlan::ReadFiles(std::string& error) {
  if (Help) return true;
  if (Command.Name == "run" && !CliScript::Read(Command.Args[0], Script, error)) return false;
  if (!CliChecks::Files(Command, error)) return false;
  for (const CliScript::Line& line : Script) {
    if (!CliChecks::Files(line.Command, error)) {
      error = Format("%s:%d: %s", Command.Args[0].c_str(), line.Number, error.c_str());
      return false;
    }
  }
  return true;
}
