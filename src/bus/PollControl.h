#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

// The hand-over of the alarm poll from the user-interface thread, which
// decides when to poll, to the worker thread, which polls. At most one poll
// is asked for or under way at a time. Asking wakes the worker at once.
//
// A bus reset holds the polls: a poll that went on while the table is
// emptied would talk to ALDs that no longer have their addresses. Shutdown
// ends a running poll at its next ALD.
class PollControl {
 public:
  // User-interface thread. The list's row count goes with the request: the
  // list belongs to that thread. False when a poll is still asked for or
  // under way, or polls are held.
  bool Request(size_t listedRows);
  // A poll is asked for or under way.
  bool InFlight() const;
  // Cancels a pending poll, ends a running one at its next ALD and waits
  // until the worker has left it; until Release no poll starts.
  void Hold();
  void Release();

  // Worker thread: the row count of the pending request, which is now
  // under way; Ended follows the poll.
  std::optional<size_t> Take();
  void Ended();
  // The running poll is to end at its next ALD.
  bool EndAsked() const { return endAsked_; }

  // The worker's wait: returns when a poll is asked for, Interrupt is
  // called, or ms of real time have passed.
  void AwaitRequest(uint32_t ms);
  // Shutdown: ends a running poll at its next ALD and wakes the worker;
  // Resume undoes it once the worker has stopped.
  void Interrupt();
  void Resume();

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable ended_;
  bool pending_ = false;      // guarded by mutex_
  bool running_ = false;      // guarded by mutex_
  bool held_ = false;         // guarded by mutex_
  bool interrupted_ = false;  // guarded by mutex_
  size_t rows_ = 0;           // guarded by mutex_
  std::atomic<bool> endAsked_{false};
};
