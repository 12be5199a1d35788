#pragma once

#include <string>

// Why a serial port could not be opened, in the words a technician acts
// on: the port is not there, the path is no serial port, another program
// holds it, or the user may not open it (and which group would let them).
struct PortDiagnosis {
  enum class Kind { kNone, kNoSuchPort, kNotSerialPort, kInUse, kPermissionDenied, kOther };
  Kind What = Kind::kNone;
  std::string Text;  // "no such port", "not a serial port (a directory)", ...

  // From the errno of the failed step and what the path is.
  static PortDiagnosis Of(const std::string& path, int error);
  // "cannot open PORT: TEXT", the one line the command-line tool prints and
  // the window traces and shows.
  std::string Sentence(const std::string& port) const;
  // A failure the user can mend themselves: a group to join, or another
  // program to close.
  bool Actionable() const { return What == Kind::kPermissionDenied || What == Kind::kInUse; }
  // A name with a slash is a path as given; a bare name is a device under
  // /dev/ when one is there, and a path in the working folder otherwise.
  static std::string DevicePath(const std::string& name);
};
