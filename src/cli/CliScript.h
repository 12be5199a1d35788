#pragma once

#include <istream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"

// A script of the tool: one command per line, run in one session. Blank
// lines and lines starting with # are skipped; every other line is checked
// as a command line is, so that a typing error on line 20 stops the script
// before the bus is touched and leaves no site half done.
class CliScript {
 public:
  struct Line {
    int Number = 0;
    CliCommand Command;
  };

  // False with one line "NAME:LINE: why" at the first bad line.
  static bool Parse(std::istream& in, const std::string& name, std::vector<Line>& lines, std::string& error);
  // The script in a file (or a pipe); a folder or an unreadable file is
  // refused with one line.
  static bool Read(const std::string& path, std::vector<Line>& lines, std::string& error);
};
