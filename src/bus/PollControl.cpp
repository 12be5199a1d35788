#include "bus/PollControl.h"

#include <chrono>

bool PollControl::Request(size_t listedRows) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_ || running_ || held_) return false;
    pending_ = true;
    rows_ = listedRows;
  }
  wake_.notify_all();
  return true;
}

bool PollControl::InFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_ || running_;
}

void PollControl::Hold() {
  std::unique_lock<std::mutex> lock(mutex_);
  held_ = true;
  pending_ = false;
  endAsked_ = true;
  ended_.wait(lock, [this] { return !running_; });
}

void PollControl::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = false;
  endAsked_ = interrupted_;
}

std::optional<size_t> PollControl::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!pending_ || held_) return std::nullopt;
  pending_ = false;
  running_ = true;
  return rows_;
}

void PollControl::Ended() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
  }
  ended_.notify_all();
}

void PollControl::AwaitRequest(uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return pending_ || interrupted_; });
}

void PollControl::Interrupt() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
    endAsked_ = true;
  }
  wake_.notify_all();
}

void PollControl::Resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  interrupted_ = false;
  endAsked_ = held_;
}
