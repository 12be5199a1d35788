#pragma once

// The desktop program: takes its command line, sets up the bus side's
// process-wide objects, the simulated bus when asked for, and the main
// window, and runs the event loop. Returns the exit code.
class TiltdeckApp {
 public:
  static int Main(int argc, char** argv);
};
