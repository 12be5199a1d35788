#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <deque>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "capture/BusCapture.h"
#include "sim/SimFrameReader.h"
#include "sim/VirtualBus.h"

// Serves a virtual bus on a pseudo-terminal, so that a primary opens the
// slave side like the serial port of an RS-485 adapter. Frames are taken
// from the master side as their closing flag arrives; the answer starts after
// the request's own line time and the turnaround delay, and its octets leave
// at the pace of the baud rate (10 bit times each, 8N1). Late answers start late-ms after the request, past
// the primary's read window. The line carries one octet at a time, so answers
// never overlap in time.
//
// While no client has the slave open nothing is written, and what a client
// left unread is thrown away, so the next client starts on a quiet line.
class PtyServer {
 public:
  struct Options {
    uint32_t Baud = 9600;
    uint32_t TurnaroundMs = 3;
    std::string LogPath;  // every frame in and out with its time, if set
  };

  PtyServer(VirtualBus& bus, Options options);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Creates the pseudo-terminal and, if linkPath is not empty, a symbolic
  // link there to its slave (replacing an older link, never another file).
  bool Open(const std::string& linkPath, std::string* error);
  const std::string& SlavePath() const { return slavePath_; }
  // Serves on a thread of its own until Stop or destruction.
  bool Start(std::string* error);
  void Stop();
  // The capture of the bus as the devices see it: every frame they heard
  // and every answer as it went on the line.
  BusCapture& Capture() { return capture_; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Chunk {
    Clock::time_point Start;
    std::vector<uint8_t> Octets;
    size_t Sent = 0;
    bool Captured = false;
  };

  void Run();
  void ForgetClient();
  void ReadInput();
  void Answer(const std::vector<uint8_t>& frame, Clock::time_point heardAt);
  void Schedule(std::vector<uint8_t> octets, Clock::time_point at);
  Clock::time_point End(const Chunk& chunk) const;
  void WriteDue(Clock::time_point now);
  timespec WaitTime(Clock::time_point now) const;
  void Log(const char* what, const std::vector<uint8_t>& octets);
  void CloseAll();

  VirtualBus& bus_;
  Options options_;
  Clock::duration octetTime_;
  int master_ = -1;
  int wake_[2] = {-1, -1};
  std::string slavePath_;
  std::string linkPath_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  SimFrameReader reader_;
  std::deque<Chunk> outgoing_;
  std::ofstream log_;
  Clock::time_point started_;
  BusCapture capture_;
};
