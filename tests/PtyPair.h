#pragma once

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A pseudo-terminal standing in for a serial line: the code under test opens
// SlavePath() like a port, the test plays the far end on the master.
//
// The pair keeps its own slave descriptor open for its whole life, so the
// terminal survives the code under test closing and reopening it, and the
// test can look at the line settings through SlaveFd(). The slave starts in
// raw mode, so nothing written on the master is echoed back before the code
// under test takes the line over.
class PtyPair {
 public:
  PtyPair() {
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    slavePath_ = name;
    termios tio{};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
  }
  ~PtyPair() {
    CloseMaster();
    if (slave_ >= 0) close(slave_);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int SlaveFd() const { return slave_; }
  int MasterFd() const { return master_; }

  void WriteMaster(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw std::runtime_error("write on pty master failed");
      done += static_cast<size_t>(n);
    }
  }

  // What the far end receives: up to count octets, or fewer when nothing
  // more comes within timeoutMs.
  std::vector<uint8_t> ReadMaster(size_t count, int timeoutMs = 1000) {
    std::vector<uint8_t> out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0 || !(p.revents & POLLIN)) break;
      uint8_t chunk[4096];
      ssize_t n = read(master_, chunk, std::min(sizeof chunk, count - out.size()));
      if (n <= 0) break;
      out.insert(out.end(), chunk, chunk + n);
    }
    return out;
  }

  // Hangs the line up, as an adapter pulled out of its socket does.
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};
