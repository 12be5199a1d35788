#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string_view>
#include <vector>

#include "capture/CaptureDirection.h"

// Reads the bus frames out of a trace file that this program wrote: the
// serial port's "TX[nn] ..." and "RX[nn] ..." lines with their times of day.
// A line is taken exactly as it stands or counted as unreadable; nothing is
// guessed. Trace lines of other kinds are counted and skipped.
class TraceFrameReader {
 public:
  static constexpr uint32_t kDayMs = 24u * 60 * 60 * 1000;

  enum class LineKind {
    kFrame,       // a TX or RX line with octets
    kEmptyRead,   // an RX line of a read that got nothing
    kOther,       // a trace line of another kind, or a blank line
    kUnreadable,  // not a trace line, or a TX/RX line that does not add up
  };

  struct Frame {
    CaptureDirection Direction = CaptureDirection::kFromPrimary;
    uint32_t Day = 0;    // midnights passed since the first line
    uint32_t DayMs = 0;  // UTC milliseconds since midnight
    std::vector<uint8_t> Octets;
  };

  struct Tally {
    size_t Lines = 0;
    size_t Frames = 0;
    size_t EmptyReads = 0;
    size_t OtherLines = 0;
    size_t Unreadable = 0;
    size_t FirstUnreadable = 0;  // its line number, from 1; 0 for none
  };

  // One line, its line end removed (a trailing CR is allowed). A frame line
  // fills frame with Day 0.
  static LineKind ParseLine(std::string_view line, Frame& frame);

  // Every line of in, in order. A time of day more than twelve hours before
  // the one of the line above is taken as the next day.
  void Read(std::istream& in);
  const std::vector<Frame>& Frames() const { return frames_; }
  const Tally& Counts() const { return tally_; }

  // The time of a frame in microseconds since 1970-01-01 UTC, given when the
  // file was last written (its modification time), which dates the last
  // line: the trace itself carries times of day only.
  uint64_t TimeUs(const Frame& frame, uint64_t lastWriteUs) const;

 private:
  static bool ParsePrefix(std::string_view& rest, uint32_t& dayMs, std::string_view& classTag);
  static LineKind ParseTransfer(std::string_view message, Frame& frame);
  void Count(LineKind kind);

  std::vector<Frame> frames_;
  Tally tally_;
  bool timed_ = false;  // a line with a time has been read
  uint32_t day_ = 0;
  uint32_t lastDayMs_ = 0;
};
