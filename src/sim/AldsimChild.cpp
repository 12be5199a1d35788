#include "sim/AldsimChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {

using Steady = std::chrono::steady_clock;

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// In the forked child, before exec: only async-signal-safe calls.
[[noreturn]] void ExecChild(int in, int out, int err, pid_t parent, char* const* argv) {
  // Ends the simulator with its parent, whatever ends the parent; a parent
  // already gone before the request took effect is caught by the check.
  if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) _exit(126);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  execv(argv[0], argv);
  _exit(127);
}

}  // namespace

AldsimChild::AldsimChild(const std::vector<std::string>& args, int readyTimeoutMs) {
  Spawn(args);
  std::string line = ReadLine(readyTimeoutMs);
  if (line.rfind("READY ", 0) != 0) {
    Terminate();
    CloseIfOpen(in_);
    CloseIfOpen(out_);
    CloseIfOpen(err_);
    throw std::runtime_error("aldsim did not get ready: " + line);
  }
  slave_ = line.substr(6);
}

AldsimChild::~AldsimChild() {
  if (pid_ > 0) Terminate();
  CloseIfOpen(in_);
  CloseIfOpen(out_);
  CloseIfOpen(err_);
}

void AldsimChild::Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) ExecChild(in[0], out[1], err[1], parent, argv.data());
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
}

bool AldsimChild::Alive() const {
  return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

std::string AldsimChild::Control(const std::string& line) {
  std::string text = line + "\n";
  if (write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
  return ReadLine(10000);
}

nlohmann::json AldsimChild::State() {
  kill(pid_, SIGUSR1);
  std::string text;
  auto deadline = Steady::now() + std::chrono::seconds(10);
  while (Steady::now() < deadline) {
    text += ReadSome(200);
    nlohmann::json state = nlohmann::json::parse(text, nullptr, false);
    if (!state.is_discarded()) return state;
  }
  throw std::runtime_error("no state from aldsim: " + text);
}

int AldsimChild::Terminate() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  return Wait();
}

// A simulator that does not end within 10 s of SIGTERM is killed, so that a
// hung one never outlives its user.
int AldsimChild::Wait() {
  int status = 0;
  auto deadline = Steady::now() + std::chrono::seconds(10);
  bool killed = false;
  while (pid_ > 0) {
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || done < 0) {
      pid_ = -1;
      break;
    }
    if (!killed && Steady::now() > deadline) {
      kill(pid_, SIGKILL);
      killed = true;
    }
    usleep(10000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string AldsimChild::ReadSome(int timeoutMs) {
  pollfd p = {err_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return "";
  char buffer[4096];
  ssize_t n = read(err_, buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "";
}

std::string AldsimChild::ReadLine(int timeoutMs) {
  std::string line;
  auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
  while (Steady::now() < deadline) {
    pollfd p = {out_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    if (read(out_, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return line;
}
