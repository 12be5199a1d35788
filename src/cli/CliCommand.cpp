#include "cli/CliCommand.h"

namespace {

bool TakeValue(const std::vector<std::string>& tokens, size_t& i, std::optional<std::string>& into,
               std::string& error) {
  if (i + 1 >= tokens.size()) {
    error = tokens[i] + " needs a value";
    return false;
  }
  if (into) {
    error = tokens[i] + " is given twice";
    return false;
  }
  into = tokens[++i];
  return true;
}

}  // namespace

bool CliCommand::Parse(const std::vector<std::string>& tokens, CliCommand& out, std::string& error) {
  out = CliCommand{};
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    if (t == "--subunit") {
      if (!TakeValue(tokens, i, out.Subunit, error)) return false;
    } else if (t == "--set") {
      if (!TakeValue(tokens, i, out.Set, error)) return false;
    } else if (t == "--keep-going") {
      out.KeepGoing = true;
    } else if (t == "--help" || t == "-h") {
      out.Help = true;
    } else if (t.rfind("--", 0) == 0) {
      error = "unknown option " + t;
      return false;
    } else if (out.Name.empty()) {
      out.Name = t;
    } else {
      out.Args.push_back(t);
    }
  }
  if (out.Name.empty() && !out.Help) {
    error = "no command given";
    return false;
  }
  return true;
}

bool CliCommand::Tokenize(const std::string& line, std::vector<std::string>& tokens) {
  tokens.clear();
  std::string token;
  bool quoted = false;
  bool inToken = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inToken = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
      if (inToken) tokens.push_back(token);
      token.clear();
      inToken = false;
    } else {
      token += c;
      inToken = true;
    }
  }
  if (inToken) tokens.push_back(token);
  return !quoted;
}
