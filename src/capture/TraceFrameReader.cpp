#include "capture/TraceFrameReader.h"

#include <algorithm>
#include <string>

namespace {

bool Digits(std::string_view text, size_t count, uint32_t& value) {
  if (text.size() < count) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Takes the text up to the next blank, and the blank.
bool Word(std::string_view& rest, std::string_view& word) {
  size_t blank = rest.find(' ');
  if (blank == std::string_view::npos || blank == 0) return false;
  word = rest.substr(0, blank);
  rest.remove_prefix(blank + 1);
  return true;
}

bool IsAldText(std::string_view text) {
  uint32_t number = 0;
  return text == "..." || text == "ALL" || (text.size() == 3 && Digits(text, 3, number));
}

}  // namespace

// "LVL HH:MM:SS:mmm CLASS ALD ": the level is ERR, WRN, INF or empty.
bool TraceFrameReader::ParsePrefix(std::string_view& rest, uint32_t& dayMs, std::string_view& classTag) {
  for (std::string_view level : {"ERR ", "WRN ", "INF ", " "}) {
    if (rest.substr(0, level.size()) == level) {
      rest.remove_prefix(level.size());
      break;
    }
    if (level == " ") return false;
  }
  uint32_t h = 0, m = 0, s = 0, ms = 0;
  if (rest.size() < 13 || !Digits(rest, 2, h) || rest[2] != ':' || !Digits(rest.substr(3), 2, m) || rest[5] != ':' ||
      !Digits(rest.substr(6), 2, s) || rest[8] != ':' || !Digits(rest.substr(9), 3, ms) || rest[12] != ' ') {
    return false;
  }
  if (h > 23 || m > 59 || s > 59) return false;
  dayMs = ((h * 60 + m) * 60 + s) * 1000 + ms;
  rest.remove_prefix(13);
  std::string_view ald;
  return Word(rest, classTag) && Word(rest, ald) && IsAldText(ald);
}

// "TX[nn] XX XX ... " or "RX[nn] ...": the count must match the octets.
TraceFrameReader::LineKind TraceFrameReader::ParseTransfer(std::string_view message, Frame& frame) {
  bool tx = message.substr(0, 3) == "TX[";
  if (!tx && message.substr(0, 3) != "RX[") return LineKind::kOther;
  size_t close = message.find(']');
  if (close == std::string_view::npos || close < 4 || close > 8) return LineKind::kUnreadable;
  uint32_t count = 0;
  if (!Digits(message.substr(3), close - 3, count)) return LineKind::kUnreadable;
  std::string_view dump = message.substr(close + 1);
  if (!dump.empty() && dump[0] != ' ') return LineKind::kUnreadable;
  if (!dump.empty()) dump.remove_prefix(1);
  frame.Octets.clear();
  frame.Direction = tx ? CaptureDirection::kFromPrimary : CaptureDirection::kToPrimary;
  frame.Day = 0;
  // Each octet is two digits and a blank; the last blank may have been
  // trimmed by an editor.
  while (!dump.empty()) {
    int high = dump.size() >= 2 ? HexDigit(dump[0]) : -1;
    int low = dump.size() >= 2 ? HexDigit(dump[1]) : -1;
    if (high < 0 || low < 0 || (dump.size() > 2 && dump[2] != ' ')) return LineKind::kUnreadable;
    frame.Octets.push_back(static_cast<uint8_t>(high * 16 + low));
    dump.remove_prefix(std::min<size_t>(3, dump.size()));
  }
  if (frame.Octets.size() != count) return LineKind::kUnreadable;
  return count == 0 ? LineKind::kEmptyRead : LineKind::kFrame;
}

TraceFrameReader::LineKind TraceFrameReader::ParseLine(std::string_view line, Frame& frame) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.find_first_not_of(' ') == std::string_view::npos) return LineKind::kOther;
  std::string_view rest = line;
  std::string_view classTag;
  uint32_t dayMs = 0;
  if (!ParsePrefix(rest, dayMs, classTag)) return LineKind::kUnreadable;
  frame.DayMs = dayMs;
  if (classTag != "COMM") return LineKind::kOther;
  LineKind kind = ParseTransfer(rest, frame);
  frame.DayMs = dayMs;
  return kind;
}

void TraceFrameReader::Read(std::istream& in) {
  std::string line;
  Frame frame;
  while (std::getline(in, line)) {
    ++tally_.Lines;
    frame.DayMs = 0;
    LineKind kind = ParseLine(line, frame);
    bool timed = kind != LineKind::kUnreadable && line.find_first_not_of(" \r") != std::string::npos;
    if (timed) {
      // Lines of two threads may be a millisecond out of order; only a step
      // back of half a day is a midnight.
      if (timed_ && frame.DayMs + kDayMs / 2 < lastDayMs_) ++day_;
      timed_ = true;
      lastDayMs_ = frame.DayMs;
    }
    Count(kind);
    if (tally_.Unreadable == 1 && kind == LineKind::kUnreadable) tally_.FirstUnreadable = tally_.Lines;
    if (kind != LineKind::kFrame) continue;
    frame.Day = day_;
    frames_.push_back(std::move(frame));
    frame = Frame{};
  }
}

void TraceFrameReader::Count(LineKind kind) {
  switch (kind) {
    case LineKind::kFrame: ++tally_.Frames; break;
    case LineKind::kEmptyRead: ++tally_.EmptyReads; break;
    case LineKind::kOther: ++tally_.OtherLines; break;
    case LineKind::kUnreadable: ++tally_.Unreadable; break;
  }
}

uint64_t TraceFrameReader::TimeUs(const Frame& frame, uint64_t lastWriteUs) const {
  // The last line was written at most a moment before the file's time; a
  // minute of slack keeps a line written just before midnight on its day.
  constexpr uint64_t kSlackMs = uint64_t{60} * 1000;
  uint64_t lastWriteMs = lastWriteUs / 1000 + kSlackMs;
  uint64_t lastDay = lastWriteMs >= lastDayMs_ ? (lastWriteMs - lastDayMs_) / kDayMs : 0;
  uint64_t daysBack = day_ - frame.Day;
  uint64_t day = lastDay >= daysBack ? lastDay - daysBack : 0;
  return (day * kDayMs + frame.DayMs) * 1000;
}
