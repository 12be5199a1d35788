#pragma once

#include <optional>
#include <string>
#include <vector>

// One command of the tool as written on the command line or on a line of a
// script: its name, its positional arguments and its options.
struct CliCommand {
  std::string Name;
  std::vector<std::string> Args;
  std::optional<std::string> Subunit;  // --subunit S
  std::optional<std::string> Set;      // --set VALUE
  bool KeepGoing = false;              // --keep-going
  bool Help = false;                   // --help

  // False with a one-line reason for tokens that are not a command.
  static bool Parse(const std::vector<std::string>& tokens, CliCommand& out, std::string& error);
  // Splits a script line into tokens at blanks; double quotes keep blanks
  // inside a token. False for an unterminated quote.
  static bool Tokenize(const std::string& line, std::vector<std::string>& tokens);
};
