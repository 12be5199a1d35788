#pragma once

#include <functional>
#include <mutex>
#include <vector>

// Display work that the worker thread has for the user-interface thread:
// the worker posts it and returns at once; the main window's tick runs it
// on the user-interface thread. Only display goes this way, never bus
// traffic, so the window never waits for the bus because of the worker.
class UiWorkQueue {
 public:
  using Work = std::function<void()>;

  // Any thread.
  void Post(Work work);
  // User-interface thread: runs what was posted, in order.
  void Drain();
  // Forgets what was posted (its windows and rows are gone).
  void Discard();

 private:
  std::mutex mutex_;
  std::vector<Work> work_;  // guarded by mutex_
};
