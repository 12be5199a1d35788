#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliPlan.h"
#include "cli/CliScript.h"
#include "cli/TerminalText.h"

namespace {

// A rejection is one line on the terminal: a message, printed through
// TerminalText, with no line break of its own.
void CheckRejection(const std::string& error) {
  std::string shown = TerminalText(error);
  if (error.empty() || shown.find('\n') != std::string::npos || shown.find('\r') != std::string::npos) __builtin_trap();
}

}  // namespace

// Any argument vector and any script text: parsed and checked or refused
// with one line, never a crash. The input is split at its first 0xFF octet:
// before it the arguments, separated by NUL octets; after it a script. No
// file is read and no port opened: the parser is driven below those steps.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\xFF');
  std::string argText = input.substr(0, split);
  std::vector<std::string> args;
  std::string arg;
  for (char c : argText) {
    if (c == '\0') {
      args.push_back(arg);
      arg.clear();
    } else {
      arg += c;
    }
  }
  if (!argText.empty()) args.push_back(arg);

  CliPlan plan;
  std::string error;
  bool parsed = CliPlan::Parse(args, plan, error);
  if (!parsed) CheckRejection(error);
  (void)CliPlan::WantsJson(args);

  if (split == std::string::npos) return 0;
  std::istringstream script(input.substr(split + 1));
  std::vector<CliScript::Line> lines;
  if (!CliScript::Parse(script, "script.txt", lines, error)) CheckRejection(error);
  return 0;
}
