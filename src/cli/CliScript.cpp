#include "cli/CliScript.h"

#include <sys/stat.h>

#include <fstream>

#include "cli/CliChecks.h"
#include "core/Format.h"

namespace {

bool ParseLine(const std::string& text, CliCommand& c, bool& skip, std::string& why) {
  std::vector<std::string> tokens;
  skip = false;
  if (!CliCommand::Tokenize(text, tokens)) {
    why = "unterminated quote";
    return false;
  }
  if (tokens.empty() || tokens[0].rfind('#', 0) == 0) {
    skip = true;
    return true;
  }
  if (!CliCommand::Parse(tokens, c, why) || !CliChecks::Syntax(c, why)) return false;
  if (c.Name == "run" || c.Help) {
    why = c.Help ? "--help in a script" : "a script cannot run another script";
    return false;
  }
  return true;
}

}  // namespace

bool CliScript::Parse(std::istream& in, const std::string& name, std::vector<Line>& lines, std::string& error) {
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    CliCommand c;
    bool skip = false;
    std::string why;
    if (!ParseLine(text, c, skip, why)) {
      error = Format("%s:%d: %s", name.c_str(), number, why.c_str());
      return false;
    }
    if (!skip) lines.push_back({number, c});
  }
  if (in.bad()) {
    error = "cannot read script '" + name + "'";
    return false;
  }
  return true;
}

// The stream reports a folder's read error by throwing, and an empty read
// would pass for an empty script that succeeded.
bool CliScript::Read(const std::string& path, std::vector<Line>& lines, std::string& error) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    error = "'" + path + "' is a directory, not a script";
    return false;
  }
  std::ifstream in(path);
  if (!in) {
    error = "cannot read script '" + path + "'";
    return false;
  }
  try {
    return Parse(in, path, lines, error);
  } catch (const std::exception&) {
    error = "cannot read script '" + path + "'";
    return false;
  }
}
