// The trace reader of trace2pcap: exactly the serial port's TX and RX lines
// become frames; every other line is counted, never guessed at.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "Hex.h"
#include "PcapngRead.h"
#include "TempDir.h"
#include "capture/TraceFrameReader.h"
#include "cli/RunCli.h"

namespace {

using Kind = TraceFrameReader::LineKind;

Kind Parse(const std::string& line, TraceFrameReader::Frame& frame) {
  return TraceFrameReader::ParseLine(line, frame);
}

TEST(TraceFrameReader, TransferLinesAsTheSerialPortWritesThem) {
  TraceFrameReader::Frame f;
  ASSERT_EQ(Parse("INF 08:15:02:347 COMM ... TX[11] 7E FF BF 81 F0 02 07 00 A4 F3 7E ", f), Kind::kFrame);
  EXPECT_EQ(f.Direction, CaptureDirection::kFromPrimary);
  EXPECT_EQ(f.DayMs, ((8 * 60 + 15) * 60 + 2) * 1000u + 347);
  EXPECT_EQ(ToHex(f.Octets), "7E FF BF 81 F0 02 07 00 A4 F3 7E");

  ASSERT_EQ(Parse("INF 23:59:59:999 COMM 003 RX[06] 7E 03 73 0B 5D 7E \r", f), Kind::kFrame) << "CR LF line end";
  EXPECT_EQ(f.Direction, CaptureDirection::kToPrimary);
  EXPECT_EQ(f.DayMs, TraceFrameReader::kDayMs - 1);
  EXPECT_EQ(ToHex(f.Octets), "7E 03 73 0B 5D 7E");

  EXPECT_EQ(Parse("INF 00:00:00:000 COMM 003 RX[02] 7e 0a", f), Kind::kFrame) << "trailing blank trimmed, lower case";
  EXPECT_EQ(ToHex(f.Octets), "7E 0A");
  std::string longest = "INF 00:00:00:000 COMM ALL RX[168] ";
  for (int i = 0; i < 168; ++i) longest += "7D ";
  EXPECT_EQ(Parse(longest, f), Kind::kFrame);
  EXPECT_EQ(f.Octets.size(), 168u);
  EXPECT_EQ(Parse("INF 12:00:00:000 COMM ... RX[00] ", f), Kind::kEmptyRead);
  EXPECT_EQ(Parse(" 12:00:00:000 COMM ... RX[00] ", f), Kind::kEmptyRead) << "a level outside the table is empty";
}

TEST(TraceFrameReader, OtherTraceLinesAreSkippedAndBrokenOnesCounted) {
  TraceFrameReader::Frame f;
  EXPECT_EQ(Parse("INF 08:15:02:347 MAIN ... Scan Started", f), Kind::kOther);
  EXPECT_EQ(Parse("INF 08:15:02:347 HDLC 001 TX[02] 7E 7E", f), Kind::kOther) << "only the port writes octets";
  EXPECT_EQ(Parse("ERR 08:15:02:347 COMM ... Exception raised. Check the connection!", f), Kind::kOther);
  EXPECT_EQ(Parse("", f), Kind::kOther);
  for (const char* bad : {
           "INF 08:15:02:347 COMM ... TX[03] 7E 01 ",     // fewer octets than counted
           "INF 08:15:02:347 COMM ... TX[01] 7E 01 ",     // more
           "INF 08:15:02:347 COMM ... TX[02] 7E 0G ",     // not hexadecimal
           "INF 08:15:02:347 COMM ... TX[02] 7E  01 ",    // two blanks
           "INF 08:15:02:347 COMM ... TX[02] 7E01 ",      // no blank between octets
           "INF 08:15:02:347 COMM ... TX[] ",             // no count
           "INF 08:15:02:347 COMM ... TX[02 7E 01 ",      // no bracket
           "INF 24:00:00:000 COMM ... TX[01] 7E ",        // no such hour
           "INF 08:61:00:000 COMM ... TX[01] 7E ",        // no such minute
           "INF 08:15:02:34 COMM ... TX[01] 7E ",         // short milliseconds
           "INF 08:15:02:347 COMM 7 TX[01] 7E ",          // ALD number not three digits
           "DBG 08:15:02:347 COMM ... TX[01] 7E ",        // no such level
           "7E FF BF 81 F0 02 07 00 A4 F3 7E",            // octets without a line
           "INF 08:15:02:347 COMM ... TX[99999999] 7E ",  // count too long
       }) {
    EXPECT_EQ(Parse(bad, f), Kind::kUnreadable) << bad;
  }
}

TEST(TraceFrameReader, MidnightsAreCountedAndTheDateTakenFromTheFilesLastChange) {
  std::istringstream trace(
      "INF 23:59:59:900 COMM ... TX[01] 7E \n"
      "INF 23:59:59:899 COMM ... RX[01] 7F \n"  // a thread a millisecond late: same day
      "garbage\n"
      "INF 00:00:00:100 COMM ... TX[01] 01 \n"
      "INF 00:00:00:050 MAIN ... Scan Started\n"
      "INF 13:00:00:000 COMM ... RX[00] \n"
      "INF 00:00:01:000 COMM ... TX[01] 02 \n"  // a second midnight
      "broken again\n");
  TraceFrameReader reader;
  reader.Read(trace);
  const TraceFrameReader::Tally& t = reader.Counts();
  EXPECT_EQ(t.Lines, 8u);
  EXPECT_EQ(t.Frames, 4u);
  EXPECT_EQ(t.EmptyReads, 1u);
  EXPECT_EQ(t.OtherLines, 1u);
  EXPECT_EQ(t.Unreadable, 2u);
  EXPECT_EQ(t.FirstUnreadable, 3u);
  ASSERT_EQ(reader.Frames().size(), 4u);
  EXPECT_EQ(reader.Frames()[1].Day, 0u);
  EXPECT_EQ(reader.Frames()[2].Day, 1u);
  EXPECT_EQ(reader.Frames()[3].Day, 2u);

  // Written on 2024-06-11 at 00:00:01.5 UTC: the last line is that day's.
  const uint64_t day = 19885;  // days from 1970-01-01 to 2024-06-11
  uint64_t lastWriteUs = (day * TraceFrameReader::kDayMs + 1500) * 1000;
  EXPECT_EQ(reader.TimeUs(reader.Frames()[3], lastWriteUs), (day * TraceFrameReader::kDayMs + 1000) * 1000);
  EXPECT_EQ(reader.TimeUs(reader.Frames()[0], lastWriteUs),
            ((day - 2) * TraceFrameReader::kDayMs + TraceFrameReader::kDayMs - 100) * 1000);
  // A file touched moments after midnight still dates a last line of
  // 23:59:59 to the day before.
  std::istringstream late("INF 23:59:59:990 COMM ... TX[01] 7E \n");
  TraceFrameReader lateReader;
  lateReader.Read(late);
  EXPECT_EQ(lateReader.TimeUs(lateReader.Frames()[0], (day * TraceFrameReader::kDayMs + 20) * 1000),
            ((day - 1) * TraceFrameReader::kDayMs + TraceFrameReader::kDayMs - 10) * 1000);
}

TEST(Trace2Pcap, ConvertsATraceAndReportsTheLinesItCouldNotRead) {
  TempDir dir;
  std::string trace = dir.File("trace.txt");
  std::ofstream(trace) << "INF 08:15:02:347 HDLC ... Reset Request\r\n"
                          "INF 08:15:02:348 COMM ... TX[11] 7E FF BF 81 F0 02 07 00 A4 F3 7E \r\n"
                          "INF 08:15:02:770 COMM ... RX[00] \r\n"
                          "INF 08:15:02:771 COMM 001 TX[06] 7E 01 93 8D B0 7E \r\n"
                          "INF 08:15:02:800 COMM 001 RX[07] 7E 01 73 \r\n"
                          "INF 08:15:02:801 COMM 001 RX[03] 7E 01 73 \r\n";
  std::string out = dir.File("t.pcapng");
  std::ostringstream o, e;
  int status = RunCli({"trace2pcap", trace, out}, o, e);
  EXPECT_EQ(status, 0) << e.str();
  EXPECT_EQ(o.str(), "3 frames written to " + out + " (6 lines: 1 empty reads, 1 other lines)\n");
  EXPECT_EQ(e.str(), "1 lines could not be read and were left out (the first is line 5)\n");
  PcapngContents c = ReadPcapng(ReadFile(out));
  ASSERT_TRUE(c.Valid);
  ASSERT_EQ(c.Packets.size(), 3u);
  EXPECT_EQ(ToHex(c.Packets[0].Octets), "7E FF BF 81 F0 02 07 00 A4 F3 7E");
  EXPECT_EQ(c.Packets[0].Flags, 2u);
  EXPECT_EQ(ToHex(c.Packets[2].Octets), "7E 01 73");
  EXPECT_EQ(c.Packets[2].Flags, 1u);
  EXPECT_EQ(c.Packets[1].TimeUs - c.Packets[0].TimeUs, 423000u);
  EXPECT_EQ(c.Packets[0].TimeUs / 1000 % TraceFrameReader::kDayMs, ((8 * 60 + 15) * 60 + 2) * 1000u + 348);

  std::ostringstream jo, je;
  EXPECT_EQ(RunCli({"--json", "--quiet", "trace2pcap", trace, out}, jo, je), 0);
  nlohmann::json doc = nlohmann::json::parse(jo.str());
  EXPECT_EQ(doc["frames"], 3);
  EXPECT_EQ(doc["unreadableLines"], 1);
  EXPECT_EQ(doc["firstUnreadableLine"], 5);
  EXPECT_EQ(je.str(), "");
}

TEST(Trace2Pcap, MissingTraceOrUnwritableCaptureIsAUsageError) {
  TempDir dir;
  std::ostringstream o, e;
  EXPECT_EQ(RunCli({"trace2pcap", dir.File("none.txt"), dir.File("t.pcapng")}, o, e), 2);
  EXPECT_NE(e.str().find("cannot read the trace file"), std::string::npos) << e.str();
  EXPECT_FALSE(std::filesystem::exists(dir.File("t.pcapng")));
  std::ofstream(dir.File("trace.txt")) << "INF 08:15:02:348 COMM ... TX[01] 7E \n";
  std::ostringstream o2, e2;
  EXPECT_EQ(RunCli({"trace2pcap", dir.File("trace.txt"), dir.File("missing/t.pcapng")}, o2, e2), 2);
  EXPECT_NE(e2.str().find("cannot write the capture file"), std::string::npos) << e2.str();
  std::ostringstream o3, e3;
  EXPECT_EQ(RunCli({"trace2pcap", dir.File("trace.txt")}, o3, e3), 2) << "two arguments";
}

}  // namespace
