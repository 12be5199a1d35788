#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

// The USB adapter between the station and the bus that the simulator
// serves: a pseudo-terminal of its own whose slave the station opens like a
// serial port, with every octet carried over to and from the simulator's
// pseudo-terminal. Pulling it out closes the master, so the station's port
// fails in whatever exchange it is; putting it back makes a new
// pseudo-terminal under a new name, which the station has to open again.
// The devices on the bus notice nothing: they keep their addresses and links.
class SoakAdapter {
 public:
  using Time = std::chrono::steady_clock::time_point;

  explicit SoakAdapter(const std::string& busPath) {
    bus_ = open(busPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (bus_ < 0) throw std::runtime_error("cannot open " + busPath);
    termios tio{};
    tcgetattr(bus_, &tio);
    cfmakeraw(&tio);
    tcsetattr(bus_, TCSANOW, &tio);
    PlugIn();
    thread_ = std::thread([this] { Run(); });
  }
  ~SoakAdapter() {
    stop_ = true;
    thread_.join();
    if (master_ >= 0) close(master_);
    close(bus_);
  }
  SoakAdapter(const SoakAdapter&) = delete;
  SoakAdapter& operator=(const SoakAdapter&) = delete;

  // Pulls the adapter out at `at` and puts it back downMs later.
  void SchedulePull(Time at, uint32_t downMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    pullAt_ = at;
    plugAt_ = at + std::chrono::milliseconds(downMs);
    pullPlanned_ = true;
  }
  // Counts the times it was put back; the port name changes each time.
  uint32_t Generation() const { return generation_; }
  bool PluggedIn() const { return pluggedIn_; }
  bool PullPlanned() const { return pullPlanned_; }
  std::string PortPath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
  }

 private:
  void PlugIn() {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) throw std::runtime_error("no pseudo-terminal");
    std::lock_guard<std::mutex> lock(mutex_);
    path_ = ptsname(master);
    master_ = master;
    pluggedIn_ = true;
    ++generation_;
  }
  void PullOut() {
    std::lock_guard<std::mutex> lock(mutex_);
    close(master_);
    master_ = -1;
    pluggedIn_ = false;
  }
  void FollowPlan() {
    Time now = std::chrono::steady_clock::now();
    bool pull = false, plug = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pull = pullPlanned_ && pluggedIn_ && now >= pullAt_;
      plug = pullPlanned_ && !pluggedIn_ && now >= plugAt_;
      if (plug) pullPlanned_ = false;
    }
    if (pull) PullOut();
    if (plug) PlugIn();
  }

  // While the station has the slave closed the master reports a hang-up at
  // every poll; it is then left out for one short wait.
  void Run() {
    bool masterHungUp = false;
    while (!stop_) {
      FollowPlan();
      bool withMaster = master_ >= 0 && !masterHungUp;
      pollfd p[2] = {{bus_, POLLIN, 0}, {master_, POLLIN, 0}};
      poll(p, withMaster ? 2 : 1, withMaster ? 20 : 5);
      masterHungUp = false;
      if (p[0].revents & POLLIN) Carry(bus_, master_);
      if (!withMaster) continue;
      if (p[1].revents & POLLIN) Carry(master_, bus_);
      masterHungUp = (p[1].revents & (POLLHUP | POLLERR)) && !(p[1].revents & POLLIN);
    }
  }
  // Octets for a port that is not there, or that nobody has open, are lost
  // as they would be on the wire.
  static void Carry(int from, int to) {
    uint8_t buffer[512];
    ssize_t n = read(from, buffer, sizeof buffer);
    if (n <= 0 || to < 0) return;
    ssize_t done = 0;
    for (int tries = 0; done < n && tries < 100; ++tries) {
      ssize_t w = write(to, buffer + done, static_cast<size_t>(n - done));
      if (w > 0) {
        done += w;
      } else if (w < 0 && errno != EAGAIN) {
        return;
      } else {
        usleep(1000);
      }
    }
  }

  int bus_ = -1;
  int master_ = -1;  // written only by the relay thread after the start
  std::string path_;
  mutable std::mutex mutex_;
  Time pullAt_;
  Time plugAt_;
  std::atomic<bool> pullPlanned_{false};
  std::atomic<bool> pluggedIn_{false};
  std::atomic<uint32_t> generation_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
