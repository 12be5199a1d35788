#pragma once

#include <string>

// Message boxes with an OK button. The user interface implements it; tests
// record the calls.
//
// Threads: the scan calls ShowMessage from the worker thread. The
// implementation must then hand the box to the user-interface thread and
// return without waiting for the user, because the worker may hold the bus
// while it reports. Called on the user-interface thread it may be modal.
class UserMessages {
 public:
  enum class Icon { kNone, kInformation, kWarning, kError };

  virtual ~UserMessages() = default;
  // An empty title stands for the application's name.
  virtual void ShowMessage(const std::string& title, const std::string& text, Icon icon) = 0;
};
