#pragma once

#include <sys/types.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// aldsim as a child process: started with its arguments, ready once it has
// printed its READY line naming the pseudo-terminal it serves. Standard
// input takes control lines (with --control), SIGUSR1 makes it print its
// state as JSON on standard error. The child goes with the object, and with
// this process however it ends (a signal included): the kernel sends it
// SIGTERM when the thread that started it ends, so start it from a thread
// that lives as long as it is needed (the main thread, as a rule).
class AldsimChild {
 public:
  AldsimChild(const std::vector<std::string>& args, int readyTimeoutMs);
  ~AldsimChild();
  AldsimChild(const AldsimChild&) = delete;
  AldsimChild& operator=(const AldsimChild&) = delete;

  const std::string& SlavePath() const { return slave_; }
  pid_t Pid() const { return pid_; }
  bool Alive() const;

  // One line to standard input and the line it answers ("" when none came
  // within 10 s).
  std::string Control(const std::string& line);
  // The state printed on SIGUSR1; throws std::runtime_error when none came.
  nlohmann::json State();
  // SIGTERM, then SIGKILL after 10 s; returns the exit status (-1 when it
  // did not exit by itself).
  int Terminate();

 private:
  void Spawn(const std::vector<std::string>& args);
  std::string ReadLine(int timeoutMs);
  std::string ReadSome(int timeoutMs);
  int Wait();

  std::string slave_;
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
};
