#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "sim/SimAld.h"
#include "sim/SimFaults.h"

// One RS-485 segment with any number of simulated ALDs on it. It takes each
// frame the primary puts on the line, lets every device hear it, and returns
// the octets that come back: the devices' answers, one after the other or
// overlapped, with the injected faults applied. Device time (long
// procedures, address time-outs, scheduled faults) follows the given clock.
//
// Thread-safe: every public call holds the bus lock.
class VirtualBus {
 public:
  enum class Collisions { kConcat, kGarble };

  // The octets on the line after one request: those within the primary's
  // read window, and those that come after it.
  struct Answer {
    std::vector<uint8_t> OnTime;
    std::vector<uint8_t> Late;
    // A lone answer from a device that sends in pieces: OnTime from SplitAt
    // on follows the rest after SplitPauseMs.
    size_t SplitAt = 0;
    uint32_t SplitPauseMs = 0;
  };

  explicit VirtualBus(Clock& clock);

  // Returns the device's index.
  size_t Add(std::unique_ptr<SimAld> device);
  size_t Count() const;
  std::optional<size_t> Find(const std::string& uniqueId) const;
  // Runs f on device i under the bus lock.
  void WithDevice(size_t i, const std::function<void(SimAld&)>& f);

  void SetCollisions(Collisions mode);
  Collisions CollisionMode() const;
  // Times in the faults count from this call. Names of unknown devices are
  // ignored and returned.
  std::vector<std::string> SetFaults(const SimFaults& faults);
  // Adds the timed events (power windows, alarms) and the stuck and download
  // faults of the list, their times counted from this call, to those already
  // planned; the shares and their random stream go on unchanged.
  std::vector<std::string> AddFaults(const SimFaults& faults);
  uint32_t LateMs() const;
  // Frames that reached a device: whole, and sent to the broadcast address
  // or to one that a device holds. Any other frame is to the devices as a
  // quiet line.
  uint64_t FramesHeard() const;

  // wire: one raw frame, flags included, as the primary wrote it.
  Answer Handle(const uint8_t* wire, size_t length);
  // The same into answer, whose room is used again: a fuzz run hands the
  // bus millions of frames.
  void Handle(const uint8_t* wire, size_t length, Answer& answer);

  bool RaiseAlarm(size_t device, uint8_t subunit, uint8_t code);
  bool ClearAlarm(size_t device, uint8_t subunit, uint8_t code);
  bool PowerOff(size_t device);
  bool PowerOn(size_t device);

  // Every device's site description with its live state.
  nlohmann::ordered_json StateJson();

  Clock& TimeSource() { return clock_; }

 private:
  struct PowerEvent {
    size_t Device;
    uint64_t AtMs;
    bool On;
    bool Done = false;
  };
  struct AlarmEvent {
    size_t Device;
    uint8_t Subunit;
    uint8_t Code;
    uint64_t AtMs;
    bool Done = false;
  };

  void AdvanceTo(uint64_t nowMs);
  std::vector<size_t> Targets(const std::string& name) const;
  void Schedule(const SimFaults& faults, uint64_t originMs, std::vector<std::string>& unknown);
  bool Place(const SimAld& device, const std::vector<uint8_t>& reply, std::vector<uint8_t>& octets, Answer& answer);
  void ToWire(const std::vector<uint8_t>& content, bool corrupt, std::vector<uint8_t>& out) const;
  static void AddStrayOctets(std::vector<uint8_t>& octets, uint32_t count);
  size_t PrependStaleIFrame(const SimAld& device, const std::vector<uint8_t>& reply, std::vector<uint8_t>& octets);
  // The first count answers of onTime_, as they meet on the line.
  void Combine(size_t count, std::vector<uint8_t>& out) const;
  bool Roll(double share);
  bool Reaches(uint8_t address) const;

  Clock& clock_;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<SimAld>> devices_;
  Collisions collisions_ = Collisions::kConcat;
  SimFaults faults_;
  std::mt19937 random_{1};
  std::vector<PowerEvent> powerEvents_;
  std::vector<AlarmEvent> alarmEvents_;
  // The last I-frame each device that echoes old frames has sent.
  std::map<const SimAld*, std::vector<uint8_t>> lastIFrames_;
  // The frame being handled, kept between frames for its room: the bus
  // hears every frame of a session, and a fuzz run millions more.
  std::vector<uint8_t> content_;
  // The answers within the read window of the frame being handled, kept for
  // their room likewise; the first ones are the frame's.
  std::vector<std::vector<uint8_t>> onTime_;
  uint64_t framesHeard_ = 0;
};
