#include "sim/SimLink.h"

void SimLink::Transmit(const uint8_t* data, uint32_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  reader_.Feed(data, length, [&](const uint8_t* frame, size_t frameLength) {
    VirtualBus::Answer answer = bus_.Handle(frame, frameLength);
    ready_.insert(ready_.end(), answer.OnTime.begin(), answer.OnTime.end());
    late_.insert(late_.end(), answer.Late.begin(), answer.Late.end());
  });
}

uint32_t SimLink::Receive(uint8_t* buffer, uint32_t capacity) {
  std::lock_guard<std::mutex> lock(mutex_);
  uint32_t count = 0;
  while (count < capacity && !ready_.empty()) {
    buffer[count++] = ready_.front();
    ready_.pop_front();
  }
  // This read's window has closed; what comes later waits for the next one.
  ready_.insert(ready_.end(), late_.begin(), late_.end());
  late_.clear();
  return count;
}
