#include "cli/CliTrace2Pcap.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include "capture/CaptureFile.h"
#include "capture/TraceFrameReader.h"

namespace {

// The trace's lines carry times of day; the file's modification time gives
// the date of its last line.
uint64_t LastWriteUs(const std::string& path) {
  std::error_code ec;
  auto written = std::filesystem::last_write_time(path, ec);
  if (ec) return 0;
  auto since = std::chrono::file_clock::to_sys(written).time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

void Describe(const TraceFrameReader::Tally& t, const std::string& capturePath, CliOutcome& o) {
  o.Doc["frames"] = t.Frames;
  o.Doc["emptyReads"] = t.EmptyReads;
  o.Doc["otherLines"] = t.OtherLines;
  o.Doc["unreadableLines"] = t.Unreadable;
  o.Doc["firstUnreadableLine"] = t.FirstUnreadable;
  o.Lines.push_back(std::to_string(t.Frames) + " frames written to " + capturePath + " (" + std::to_string(t.Lines) +
                    " lines: " + std::to_string(t.EmptyReads) + " empty reads, " + std::to_string(t.OtherLines) +
                    " other lines)");
  if (t.Unreadable > 0) {
    o.Notes.push_back(std::to_string(t.Unreadable) + " lines could not be read and were left out (the first is line " +
                      std::to_string(t.FirstUnreadable) + ")");
  }
}

}  // namespace

CliOutcome ConvertTraceToCapture(const std::string& tracePath, const std::string& capturePath) {
  CliOutcome o;
  o.Doc["command"] = "trace2pcap";
  std::ifstream in(tracePath, std::ios::binary);
  TraceFrameReader reader;
  if (in) reader.Read(in);
  if (!in.eof()) {
    o.Fail(CliExit::kUsage, "Usage", "cannot read the trace file '" + tracePath + "'");
  } else {
    CaptureFile file;
    std::string error;
    std::string name = std::filesystem::path(tracePath).filename().string();
    CaptureFile::Identity identity{"tiltdeck-cli trace2pcap",
                                   "Converted from the trace file " + name +
                                       "; its lines give times of day in milliseconds, the date is that of the "
                                       "file's last change",
                                   "aisg", "AISG bus as the primary station sees it"};
    bool written = file.Open(capturePath, identity, &error);
    uint64_t lastWriteUs = LastWriteUs(tracePath);
    for (size_t i = 0; written && i < reader.Frames().size(); ++i) {
      const TraceFrameReader::Frame& f = reader.Frames()[i];
      written = file.Append(f.Direction, reader.TimeUs(f, lastWriteUs), f.Octets.data(), f.Octets.size(), &error);
    }
    if (written) {
      Describe(reader.Counts(), capturePath, o);
    } else {
      o.Fail(CliExit::kUsage, "Usage", "cannot write the capture file '" + capturePath + "': " + error);
    }
  }
  o.Doc["ok"] = o.Ok();
  o.Doc["exit"] = o.Exit;
  return o;
}
