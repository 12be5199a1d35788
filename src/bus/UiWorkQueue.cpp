#include "bus/UiWorkQueue.h"

#include <utility>

void UiWorkQueue::Post(Work work) {
  std::lock_guard<std::mutex> lock(mutex_);
  work_.push_back(std::move(work));
}

// The work runs outside the lock: it may take its time, and the worker
// must be able to post meanwhile.
void UiWorkQueue::Drain() {
  std::vector<Work> taken;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(work_);
  }
  for (Work& w : taken) w();
}

void UiWorkQueue::Discard() {
  std::lock_guard<std::mutex> lock(mutex_);
  work_.clear();
}
