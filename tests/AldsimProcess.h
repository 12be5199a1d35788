#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "TempDir.h"

// Runs build/bin/aldsim (found through TILTDECK_BIN) on a symbolic link in a
// scratch folder and waits for its READY line, for tests that talk to the
// simulator over a real pseudo-terminal: open LinkPath() like a serial port
// (for example with the link layer's ConfigurePort) and exchange frames.
// The process is ended with SIGTERM when the object goes.
class AldsimProcess {
 public:
  explicit AldsimProcess(const std::vector<std::string>& extraArgs = {}) : link_(dir_.File("bus")) {
    const char* bin = std::getenv("TILTDECK_BIN");
    std::string program = std::string(bin ? bin : "build/bin") + "/aldsim";
    std::vector<std::string> args = {program, "--link", link_};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    Spawn(args);
    std::string line = ReadLine(out_, 10000);
    if (line.rfind("READY ", 0) != 0) throw std::runtime_error("aldsim did not get ready: " + line);
    slave_ = line.substr(6);
  }
  ~AldsimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      Wait();
    }
    for (int fd : {in_, out_, err_}) {
      if (fd >= 0) close(fd);
    }
  }
  AldsimProcess(const AldsimProcess&) = delete;
  AldsimProcess& operator=(const AldsimProcess&) = delete;

  const std::string& LinkPath() const { return link_; }
  const std::string& SlavePath() const { return slave_; }

  // SIGUSR1 and the JSON it prints on standard error.
  nlohmann::json State() {
    kill(pid_, SIGUSR1);
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      text += ReadSome(err_, 200);
      nlohmann::json state = nlohmann::json::parse(text, nullptr, false);
      if (!state.is_discarded()) return state;
    }
    throw std::runtime_error("no state from aldsim: " + text);
  }

  // One line to standard input (aldsim --control) and the line it answers.
  std::string Control(const std::string& line) {
    std::string text = line + "\n";
    if (write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
    return ReadLine(out_, 10000);
  }

  // SIGTERM; returns the exit status.
  int Terminate() {
    kill(pid_, SIGTERM);
    return Wait();
  }

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
  void Spawn(const std::vector<std::string>& args) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      dup2(err[1], 2);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
      std::vector<char*> argv;
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
  }

  static std::string ReadSome(int fd, int timeoutMs) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return "";
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "";
  }

  static std::string ReadLine(int fd, int timeoutMs) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p = {fd, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char c;
      if (read(fd, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }

  // A simulator that does not end within 10 s is killed, so that a hung
  // process fails its test instead of hanging the suite.
  int Wait() {
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0) {
      pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_ || done < 0) {
        pid_ = -1;
        break;
      }
      if (std::chrono::steady_clock::now() > deadline) kill(pid_, SIGKILL);
      usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempDir dir_;
  std::string link_;
  std::string slave_;
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
};
