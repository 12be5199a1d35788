#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

// aldsim as a child process with --control: its READY line gives the
// pseudo-terminal it serves, and fault lists written to its standard input
// take effect at once, each acknowledged by one line.
class SoakAldsim {
 public:
  SoakAldsim(const std::string& program, const std::vector<std::string>& options) {
    std::vector<std::string> args = {program, "--control", "--link", ""};
    args.insert(args.end(), options.begin(), options.end());
    Spawn(args);
    std::string line = ReadLine(20000);
    if (line.rfind("READY ", 0) != 0) throw std::runtime_error("aldsim did not get ready: " + line);
    slave_ = line.substr(6);
  }
  ~SoakAldsim() {
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 500 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) usleep(10000);
    if (waitpid(pid_, nullptr, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  SoakAldsim(const SoakAldsim&) = delete;
  SoakAldsim& operator=(const SoakAldsim&) = delete;

  const std::string& SlavePath() const { return slave_; }

  // Applies a fault list now; the answer line ("APPLIED ..." or "ERROR ...").
  std::string Control(const std::string& faults) {
    std::string text = faults + "\n";
    if (write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "ERROR write failed";
    return ReadLine(10000);
  }

  bool Alive() const { return waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  void Spawn(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
      std::vector<char*> argv;
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
  }

  std::string ReadLine(int timeoutMs) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p = {out_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char c;
      if (read(out_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string slave_;
};
