#pragma once

#include <cstdint>
#include <string>

class AisgSerial;
class TraceLog;

// Opens the port with the given name and rate the way start-up and a change
// of port do it: whatever goes wrong, raised or left in LastError, ends in
// one "Unable to open com port" line and a usable program without a port.
// Returns whether the port is open and configured.
// A port that cannot be opened for a reason the serial layer found (no such
// port, permission, in use...) gets a second line that names the port and
// says why, and what to do.
bool OpenAndReportPort(AisgSerial& port, TraceLog& log, const std::string& portName, uint32_t baud);
