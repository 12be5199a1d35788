#pragma once

#include <string>

#include "cli/CliOutcome.h"

// tiltdeck-cli trace2pcap TRACE OUT: the frames of a trace file that this
// program wrote, as a capture file for Wireshark. Needs no bus.
CliOutcome ConvertTraceToCapture(const std::string& tracePath, const std::string& capturePath);
