#pragma once

#include <regex>
#include <string>
#include <vector>

#include "core/TraceLog.h"

// The lines the log wrote since the last call, without their time stamps:
// "INF COMM ... Found 2 ports".
inline std::vector<std::string> TakeTraceLines(TraceLog& log) {
  static const std::regex kLine(R"(^(\w*) \d\d:\d\d:\d\d:\d\d\d (.*)\r$)");
  std::vector<std::string> lines;
  std::string text = log.TakePending();
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::smatch m;
    std::string line = text.substr(start, end - start);
    lines.push_back(std::regex_match(line, m, kLine) ? m[1].str() + " " + m[2].str() : line);
  }
  return lines;
}
