#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "TempDir.h"
#include "sim/AldsimChild.h"

// Runs build/bin/aldsim (found through TILTDECK_BIN) on a symbolic link in a
// scratch folder and waits for its READY line, for tests that talk to the
// simulator over a real pseudo-terminal: open LinkPath() like a serial port
// (for example with the link layer's ConfigurePort) and exchange frames.
// The process is ended with SIGTERM when the object goes.
class AldsimProcess {
 public:
  explicit AldsimProcess(const std::vector<std::string>& extraArgs = {})
      : link_(dir_.File("bus")), child_(Arguments(link_, extraArgs), 10000) {}

  const std::string& LinkPath() const { return link_; }
  const std::string& SlavePath() const { return child_.SlavePath(); }

  // SIGUSR1 and the JSON it prints on standard error.
  nlohmann::json State() { return child_.State(); }
  // One line to standard input (aldsim --control) and the line it answers.
  std::string Control(const std::string& line) { return child_.Control(line); }
  // SIGTERM; returns the exit status.
  int Terminate() { return child_.Terminate(); }

  // Opens a path like a serial port at 9600 baud, raw 8N1.
  static int OpenRaw(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
  }

  // Reads what arrives until the line has been quiet for quietMs (at most
  // totalMs), the way a primary's read ends 50 ms after the last octet.
  static std::vector<uint8_t> ReadAnswer(int fd, int quietMs = 50, int totalMs = 1000) {
    std::vector<uint8_t> got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(totalMs);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p = {fd, POLLIN, 0};
      int wait = got.empty() ? totalMs : quietMs;
      if (poll(&p, 1, wait) <= 0) {
        if (!got.empty()) break;
        continue;
      }
      uint8_t buffer[256];
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

 private:
  static std::vector<std::string> Arguments(const std::string& link, const std::vector<std::string>& extraArgs) {
    const char* bin = std::getenv("TILTDECK_BIN");
    std::vector<std::string> args = {std::string(bin ? bin : "build/bin") + "/aldsim", "--link", link};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    return args;
  }

  TempDir dir_;
  std::string link_;
  AldsimChild child_;
};
