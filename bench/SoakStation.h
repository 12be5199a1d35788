#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "ald/AldTable.h"
#include "bus/BusStation.h"
#include "cli/CliUi.h"
#include "core/SystemClock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "serial/ECommError.h"

// The link layer with a count of the alarm polls: the receive-ready frames
// with the poll bit that the worker thread sends (the alarm poll runs
// there; the user-interface thread's receive-ready frames are the waits of
// its own procedures), by address, once per timer tick however often they
// go out meanwhile. A poll counts once its read is over: one whose frame
// never got onto the line, or whose read the port failed (the adapter
// pulled out under it), is no poll the device could have missed. Apart
// from that, the polls that heard nothing at all are counted: those are
// the polls a device that is off misses.
class SoakLink : public AisgHdlc {
 public:
  using AisgHdlc::AisgHdlc;

  uint32_t Write(const uint8_t* data, uint32_t length) override {
    uint32_t written = AisgHdlc::Write(data, length);
    if (std::this_thread::get_id() != uiThread_) pending_ = written == length ? PollAddress(data, length) : -1;
    return written;
  }

  uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
    if (std::this_thread::get_id() == uiThread_) return AisgHdlc::Read(buffer, capacity);
    int address = pending_.exchange(-1);
    uint32_t n = 0;
    try {
      n = AisgHdlc::Read(buffer, capacity);
    } catch (const ECommError&) {
      if (address >= 0) ++portFailures_;
      throw;
    }
    if (address >= 0) NotePoll(static_cast<uint8_t>(address), n == 0);
    return n;
  }

  struct Polled {
    std::set<uint8_t> Any;
    std::map<uint8_t, unsigned> Unheard;
  };
  // User-interface thread, once per tick: the addresses polled since the
  // last call, and how many polls of each heard nothing.
  Polled TakePolled() {
    std::lock_guard<std::mutex> lock(mutex_);
    Polled polled;
    std::swap(polled, polled_);
    return polled;
  }
  uint64_t PollsHitByPortFailures() const { return portFailures_; }

 private:
  static int PollAddress(const uint8_t* data, uint32_t length) {
    uint8_t octets[2];
    unsigned got = 0;
    for (uint32_t i = 1; i < length && got < 2; ++i) {
      if (data[i] == 0x7E) break;
      octets[got++] = data[i] == 0x7D && i + 1 < length ? static_cast<uint8_t>(data[++i] ^ 0x20) : data[i];
    }
    bool receiveReadyPoll = got == 2 && (octets[1] & 0x1F) == 0x11;
    return receiveReadyPoll ? octets[0] : -1;
  }
  void NotePoll(uint8_t address, bool unheard) {
    std::lock_guard<std::mutex> lock(mutex_);
    polled_.Any.insert(address);
    if (unheard) ++polled_.Unheard[address];
  }

  const std::thread::id uiThread_ = std::this_thread::get_id();
  std::atomic<int> pending_{-1};  // the address of the poll whose answer is being read
  std::atomic<uint64_t> portFailures_{0};
  std::mutex mutex_;
  Polled polled_;  // guarded by mutex_
};

// The windows of the main window and of the devices, replaced by recorders:
// nothing is shown, message boxes are counted by title.
class SoakUi : public CliUi {
 public:
  void ShowMessage(const std::string& title, const std::string& text, Icon) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++byTitle_[title.empty() ? "(no title)" : title];
    last_ = title + ": " + text;
  }
  std::map<std::string, unsigned> Counts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return byTitle_;
  }
  unsigned Count(const std::string& title) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = byTitle_.find(title);
    return it == byTitle_.end() ? 0 : it->second;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, unsigned> byTitle_;
  std::string last_;
};

// One primary station as the main window builds it, over the serial port.
struct SoakStation {
  explicit SoakStation(const std::string& tracePath) : log(tracePath), table(log), link(log, table) {}

  TraceLog log;
  AldTable table;
  SoakLink link;
  SystemClock clock;
  AisgLayer7 layer7{link, table, log, clock};
  SoakUi ui;
  BusStation bus{layer7, BusUi{ui, ui, ui}, nullptr, nullptr};
};
