#pragma once

#include <functional>
#include <string>

class AdapterDetector;

// What the options dialog shows after its "Detect Port" button.
struct DetectPortOutcome {
  static constexpr const char* kAlreadyOpen = "Port is already open and configured";
  static constexpr const char* kReopened = "Opened and Configured serial port successfully";
  static constexpr const char* kReopenFailed = "Unable to open com port";
  static constexpr const char* kNoneFound = "NONE FOUND..";
  static constexpr const char* kDetectCaption = "Detect Port";
  static constexpr int kNoneFoundMs = 1000;

  std::string Message;  // text of the message box to show; empty for none
  std::string Caption;  // caption the button wears for kNoneFoundMs; empty for none
  std::string Port;     // the adapter's port that was taken over; empty for none
};

// Runs the adapter search unless the port is already open. A port found is
// handed to adopt, which makes it the configured port, shows it in the list
// and reopens the serial port with it; adopt returns whether the port is open
// and configured afterwards, and the message tells the user that outcome.
DetectPortOutcome DetectPort(AdapterDetector& detector, bool portOpen,
                             const std::function<bool(const std::string& port)>& adopt);
