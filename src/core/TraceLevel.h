#pragma once

// Levels of a trace line; any other value gives an empty level text.
enum TraceLevel : int {
  kTraceError = 0,
  kTraceWarning = 1,
  kTraceInfo = 2,
};

// Class tags naming the layer that wrote a line.
namespace TraceClass {
inline constexpr const char* kMain = "MAIN";
inline constexpr const char* kComm = "COMM";
inline constexpr const char* kHdlc = "HDLC";
inline constexpr const char* kPoll = "POLL";
inline constexpr const char* kAisg = "AISG";
}  // namespace TraceClass

// ALD numbers with a meaning of their own in a trace line.
inline constexpr unsigned char kTraceNoAld = 0;
inline constexpr unsigned char kTraceAllAlds = 0xFF;
