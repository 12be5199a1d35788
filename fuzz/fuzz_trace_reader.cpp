#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "capture/TraceFrameReader.h"

// Any text as a trace file for trace2pcap: every line is a frame, an empty
// read, another trace line or unreadable, never a crash; a frame's octets
// are exactly the count its line gives, and the times count forward from
// the file's date.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  TraceFrameReader reader;
  reader.Read(in);
  const TraceFrameReader::Tally& t = reader.Counts();
  if (t.Frames + t.EmptyReads + t.OtherLines + t.Unreadable != t.Lines) __builtin_trap();
  if (reader.Frames().size() != t.Frames) __builtin_trap();
  if ((t.Unreadable == 0) != (t.FirstUnreadable == 0)) __builtin_trap();
  const uint64_t lastWriteUs = 1718000000000000ull;
  uint32_t lastDay = 0;
  for (const TraceFrameReader::Frame& f : reader.Frames()) {
    if (f.Octets.empty() || f.DayMs >= TraceFrameReader::kDayMs || f.Day < lastDay) __builtin_trap();
    lastDay = f.Day;
    // The last line is dated on or before the file's time; no line is a day past it.
    if (reader.TimeUs(f, lastWriteUs) > lastWriteUs + 60000000ull + TraceFrameReader::kDayMs * 1000ull)
      __builtin_trap();
  }
  return 0;
}
