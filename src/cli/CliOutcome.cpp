#include "cli/CliOutcome.h"

CliOutcome& CliOutcome::Fail(int exit, const std::string& error, const std::string& message) {
  Exit = exit;
  Doc["error"] = error;
  Doc["message"] = message;
  // Scripts read the error line; a message of the pages may run over two
  // lines, which would make it two.
  std::string text = message;
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  Error = text.empty() ? error : (error == "Usage" ? text : error + ": " + text);
  return *this;
}

void CliOutcome::Stamp(const std::string& command) {
  Doc["command"] = command;
  Doc["ok"] = Ok();
  Doc["exit"] = Exit;
}
