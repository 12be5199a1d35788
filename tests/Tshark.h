#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TempDir.h"

// tshark with the project's AISG dissector, for tests that read capture
// files the way an engineer does. The set-up script installs tshark.
class Tshark {
 public:
  struct Run {
    int Status = -1;
    std::string Out;
    std::string Err;
  };

  static bool Available() { return std::system("command -v tshark >/dev/null 2>&1") == 0; }
  static std::string Dissector() { return std::string(TILTDECK_SOURCE_DIR) + "/tools/wireshark/aisg.lua"; }

  // tshark -X lua_script:aisg.lua -r FILE ARGS...
  static Run Read(const std::string& file, const std::vector<std::string>& args) {
    TempDir dir;
    std::string command = "tshark -X " + Quote("lua_script:" + Dissector()) + " -r " + Quote(file);
    for (const std::string& a : args) command += " " + Quote(a);
    command += " 2>" + Quote(dir.File("err"));
    Run r;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.Out.append(buffer, n);
    int status = pclose(pipe);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.Err = ReadFile(dir.File("err"));
    return r;
  }

  // One line per packet: the fields separated by '|', several values of
  // one field by ','.
  static Run Fields(const std::string& file, const std::vector<std::string>& fields) {
    std::vector<std::string> args = {"-T", "fields", "-E", "separator=|", "-E", "occurrence=a", "-E", "aggregator=,"};
    for (const std::string& f : fields) {
      args.push_back("-e");
      args.push_back(f);
    }
    return Read(file, args);
  }

  // The lines of what tshark said that tell of a Lua error: the dissector
  // raised. Empty when there is none.
  static std::string LuaErrors(const Run& r) {
    std::string found;
    for (const std::string* text : {&r.Out, &r.Err}) {
      size_t start = 0;
      while (start < text->size()) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = text->substr(start, end - start);
        for (const char* mark : {"Lua Error", "Lua: Error", "attempt to", "the dissector stopped"}) {
          if (line.find(mark) != std::string::npos) {
            found += line + "\n";
            break;
          }
        }
        start = end + 1;
      }
    }
    return found;
  }

 private:
  static std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
  }
};

#define ASSERT_TSHARK()                                                                  \
  ASSERT_TRUE(Tshark::Available()) << "tshark is missing: scripts/setup.sh installs it"; \
  do {                                                                                   \
  } while (0)
