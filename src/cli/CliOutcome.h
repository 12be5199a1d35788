#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// Exit status of the command-line tool.
namespace CliExit {
inline constexpr int kOk = 0;
inline constexpr int kFailure = 1;  // a procedure or the link failed
inline constexpr int kUsage = 2;    // the command line, an ALD name or a file was wrong
inline constexpr int kPort = 3;     // the port could not be opened
}  // namespace CliExit

// What one command gives: its JSON document, the lines a person reads, the
// notes of the way (messages the pages would show in a box) and, when it
// failed, one error line.
struct CliOutcome {
  int Exit = CliExit::kOk;
  nlohmann::json Doc = nlohmann::json::object();
  std::vector<std::string> Lines;
  std::vector<std::string> Notes;
  std::string Error;

  bool Ok() const { return Exit == CliExit::kOk; }
  // Marks the outcome failed; error is a result's name or "Usage", and
  // message the text for the person (may be empty).
  CliOutcome& Fail(int exit, const std::string& error, const std::string& message = "");
  // The fields every document carries: the command, ok and the exit status.
  void Stamp(const std::string& command);
};
