#pragma once

#include "bus/UserMessages.h"
#include "serial/ECommError.h"

class TraceLog;

// Where a serial port failure (an adapter pulled out, a line hung up) ends:
// at the boundary of the command, tick or scan that met it. It is traced and
// shown, and the program goes on; the port can then be opened again.
class CommFailureReporter {
 public:
  CommFailureReporter(TraceLog& log, UserMessages& messages) : log_(log), messages_(messages) {}

  void Report(const ECommError& error, const char* activity);

  // Runs f; a serial port failure inside it is reported. Returns whether f
  // ran to its end.
  template <class F>
  bool Guard(const char* activity, F&& f) {
    try {
      f();
      return true;
    } catch (const ECommError& error) {
      Report(error, activity);
      return false;
    }
  }

 private:
  TraceLog& log_;
  UserMessages& messages_;
};
