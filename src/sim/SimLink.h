#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "sim/SimFrameReader.h"
#include "sim/VirtualBus.h"

// The virtual bus seen through a serial port, in-process and without any
// waiting: what the primary writes goes to the devices at once, and a read
// returns the octets that came back. Late answers behave as on a real port:
// they miss the read that follows their request and are found, ahead of its
// own answer, by the next one.
class SimLink {
 public:
  explicit SimLink(VirtualBus& bus) : bus_(bus) {}

  // The octets the primary writes.
  void Transmit(const uint8_t* data, uint32_t length);
  // One read: up to capacity octets, 0 when the line stayed quiet. Octets
  // beyond the capacity stay for the next read.
  uint32_t Receive(uint8_t* buffer, uint32_t capacity);

 private:
  VirtualBus& bus_;
  std::mutex mutex_;
  SimFrameReader reader_;
  std::deque<uint8_t> ready_;
  std::vector<uint8_t> late_;
};
