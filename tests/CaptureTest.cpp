// The capture files: their blocks against hand-made vectors, files read back
// independently of the writer, a capture started, failing and stopped while
// another thread records, and the serial port recording what it moves.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "CliHarness.h"
#include "Hex.h"
#include "PcapngRead.h"
#include "PtyPair.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "capture/BusCapture.h"
#include "capture/PcapngBlocks.h"
#include "cli/RunCli.h"
#include "core/TraceLog.h"
#include "serial/AisgSerial.h"

namespace {

const CaptureFile::Identity kIdentity{"Tiltdeck test", "", "aisg", "test bus"};

std::string Text(const std::vector<uint8_t>& octets) {
  return ToHex(octets);
}

TEST(PcapngBlocks, SectionInterfaceAndPacketAreLaidOutByteForByte) {
  EXPECT_EQ(Text(PcapngBlocks::SectionHeader("T", "")),
            "0A 0D 0D 0A 28 00 00 00 4D 3C 2B 1A 01 00 00 00 FF FF FF FF FF FF FF FF "
            "04 00 01 00 54 00 00 00 00 00 00 00 28 00 00 00");
  EXPECT_EQ(Text(PcapngBlocks::InterfaceDescription(PcapngBlocks::kLinkTypeUser0, "aisg", "")),
            "01 00 00 00 28 00 00 00 93 00 00 00 00 00 00 00 02 00 04 00 61 69 73 67 "
            "09 00 01 00 06 00 00 00 00 00 00 00 28 00 00 00");
  std::vector<uint8_t> frame = Hex("7E 01 7E");
  // Three octets padded to four; the flags option says outbound.
  EXPECT_EQ(Text(PcapngBlocks::EnhancedPacket(CaptureDirection::kFromPrimary, 0x100000002ull, frame.data(), 3)),
            "06 00 00 00 30 00 00 00 00 00 00 00 01 00 00 00 02 00 00 00 03 00 00 00 03 00 00 00 "
            "7E 01 7E 00 02 00 04 00 02 00 00 00 00 00 00 00 30 00 00 00");
  std::vector<uint8_t> answer = Hex("7E 01 73 83 57 7E");
  std::vector<uint8_t> block = PcapngBlocks::EnhancedPacket(CaptureDirection::kToPrimary, 5, answer.data(), 6);
  EXPECT_EQ(block.size(), 52u);
  EXPECT_EQ(Text(std::vector<uint8_t>(block.begin() + 36, block.begin() + 44)), "02 00 04 00 01 00 00 00") << "inbound";
}

TEST(CaptureFile, FramesReadBackWithTheirTimesAndDirections) {
  TempDir dir;
  std::string path = dir.File("c.pcapng");
  CaptureFile file;
  std::string error;
  ASSERT_TRUE(file.Open(path, kIdentity, &error)) << error;
  std::vector<uint8_t> request = Hex("7E FF BF 81 F0 02 07 00 A4 F3 7E");
  std::vector<uint8_t> answer = Hex("7E 01 93 8D B0 7E 7E");
  ASSERT_TRUE(file.Append(CaptureDirection::kFromPrimary, 1700000000123456ull, request.data(), request.size(), &error));
  ASSERT_TRUE(file.Append(CaptureDirection::kToPrimary, 1700000000200000ull, answer.data(), answer.size(), &error));
  // Handed to the system at once: readable before the file is closed.
  PcapngContents c = ReadPcapng(ReadFile(path));
  ASSERT_TRUE(c.Valid);
  EXPECT_EQ(c.LinkType, 147);
  ASSERT_EQ(c.Packets.size(), 2u);
  EXPECT_EQ(c.Packets[0].Octets, request);
  EXPECT_EQ(c.Packets[0].TimeUs, 1700000000123456ull);
  EXPECT_EQ(c.Packets[0].Flags, 2u);
  EXPECT_EQ(c.Packets[1].Octets, answer);
  EXPECT_EQ(c.Packets[1].Flags, 1u);
}

class BusCaptureTest : public ::testing::Test {
 protected:
  void Record(const std::vector<uint8_t>& octets) {
    capture.Record(CaptureDirection::kFromPrimary, BusCapture::NowUs(), octets.data(), octets.size());
  }
  size_t Packets(const std::string& path) { return ReadPcapng(ReadFile(path)).Packets.size(); }

  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  BusCapture capture{kIdentity, &log};
  std::vector<uint8_t> frame = Hex("7E 03 11 C8 6E 7E");
};

TEST_F(BusCaptureTest, RecordsOnlyWhileStartedAndNeverEmptyTransfers) {
  Record(frame);
  std::string error;
  std::string path = dir.File("a.pcapng");
  ASSERT_TRUE(capture.Start(path, &error)) << error;
  EXPECT_TRUE(capture.IsCapturing());
  EXPECT_EQ(capture.Path(), path);
  Record(frame);
  Record({});
  capture.Stop();
  EXPECT_FALSE(capture.IsCapturing());
  Record(frame);
  EXPECT_EQ(Packets(path), 1u);
}

TEST_F(BusCaptureTest, AFileThatCannotBeCreatedIsRefusedWithTheReason) {
  std::string error;
  EXPECT_FALSE(capture.Start(dir.File("missing/a.pcapng"), &error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  EXPECT_FALSE(capture.IsCapturing());
  Record(frame);  // harmless
}

// A full disk shown by a file size limit: the first failed frame is
// reported once, to the trace and the report, the capture stops, and
// recording goes on without error; a new file can be started afterwards.
TEST_F(BusCaptureTest, AWriteFailureIsReportedOnceAndStopsTheCapture) {
  std::string path = dir.File("small.pcapng");
  std::string error;
  std::vector<std::string> reports;
  ASSERT_TRUE(capture.Start(path, &error, [&](const std::string& m) { reports.push_back(m); })) << error;
  log.TakePending();
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = ReadFile(path).size() + 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  for (int i = 0; i < 20; ++i) Record(frame);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);

  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("Capture file '" + path + "' could not be written"), std::string::npos) << reports[0];
  EXPECT_FALSE(capture.IsCapturing());
  std::string trace = log.TakePending();
  EXPECT_NE(trace.find("ERR"), std::string::npos) << trace;
  EXPECT_NE(trace.find("could not be written"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("could not be written", trace.find("could not be written") + 1), std::string::npos);
  PcapngContents cut = ReadPcapng(ReadFile(path));
  EXPECT_FALSE(cut.Valid) << "the file ends in a cut block";
  EXPECT_LT(cut.Packets.size(), 3u);

  std::string again = dir.File("again.pcapng");
  ASSERT_TRUE(capture.Start(again, &error)) << error;
  Record(frame);
  EXPECT_EQ(Packets(again), 1u);
}

// The window starts and stops captures while the worker thread records.
TEST_F(BusCaptureTest, StartAndStopWhileAnotherThreadRecords) {
  std::atomic<bool> done{false};
  std::thread bus([&] {
    while (!done) Record(frame);
  });
  std::vector<std::string> paths;
  std::string error;
  for (int i = 0; i < 20; ++i) {
    paths.push_back(dir.File("run" + std::to_string(i) + ".pcapng"));
    ASSERT_TRUE(capture.Start(paths.back(), &error)) << error;
    std::this_thread::yield();
    if (i % 2 == 0) capture.Stop();
  }
  done = true;
  bus.join();
  capture.Stop();
  for (const std::string& path : paths) {
    PcapngContents c = ReadPcapng(ReadFile(path));
    EXPECT_TRUE(c.Valid) << path;
    for (const PcapngPacket& p : c.Packets) EXPECT_EQ(p.Octets, frame);
  }
}

// The port records every write and every read with octets, whatever the
// trace's filters, each with its time and direction.
TEST(SerialCapture, WritesAndReadsOfThePortAreCaptured) {
  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  PtyPair pty;
  {
    AisgSerial serial{log, table};
    serial.SetPortName(pty.SlavePath());
    serial.Open();
    ASSERT_TRUE(AisgSerial::IsOpen()) << AisgSerial::LastError();
    log.SetClassSuppressed("COMM", true);
    std::string path = dir.File("port.pcapng");
    std::string error;
    ASSERT_TRUE(serial.Capture().Start(path, &error)) << error;

    std::vector<uint8_t> request = Hex("7E 01 93 8D B0 7E");
    std::vector<uint8_t> answer = Hex("7E 01 73 83 57 7E");
    uint64_t before = BusCapture::NowUs();
    EXPECT_EQ(serial.Write(request.data(), static_cast<uint32_t>(request.size())), request.size());
    EXPECT_EQ(pty.ReadMaster(request.size()), request);
    pty.WriteMaster(answer);
    uint8_t buffer[168] = {};
    EXPECT_EQ(serial.Read(buffer, sizeof buffer), answer.size());
    EXPECT_EQ(serial.Read(buffer, 4), 0u) << "nothing more on the line";

    PcapngContents c = ReadPcapng(ReadFile(path));
    ASSERT_TRUE(c.Valid);
    ASSERT_EQ(c.Packets.size(), 2u) << "the empty read is not a packet";
    EXPECT_EQ(c.Packets[0].Octets, request);
    EXPECT_EQ(c.Packets[0].Flags, 2u);
    EXPECT_EQ(c.Packets[1].Octets, answer);
    EXPECT_EQ(c.Packets[1].Flags, 1u);
    EXPECT_GE(c.Packets[0].TimeUs, before);
    EXPECT_GE(c.Packets[1].TimeUs, c.Packets[0].TimeUs);
    serial.Close();
  }
}

TEST(CliCapture, ACaptureFileThatCannotBeWrittenStopsTheToolBeforeTheBus) {
  TempDir dir;
  std::ostringstream out, err;
  int status = RunCli({"--port", dir.File("no-port"), "--capture", dir.File("missing/s.pcapng"), "scan"}, out, err);
  EXPECT_EQ(status, 2);
  EXPECT_NE(err.str().find("cannot write the capture file '" + dir.File("missing/s.pcapng") + "'"), std::string::npos)
      << err.str();
  EXPECT_EQ(err.str().find("cannot open"), std::string::npos) << "the port was not tried";
}

// A disk that fills while the tool works: the commands run to their end with
// their own status, and the failure is one line on standard error.
TEST(CliCapture, AFileThatFailsWhileTheBusWorksIsReportedOnceAndTheCommandsGoOn) {
  CliHarness bus{CliHarness::Site({CliHarness::SingleRet("KA0000801234567", true)})};
  std::string path = bus.dir.File("s.pcapng");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  CliHarness::Run run = bus.Cli({"--capture", path, "tilt", "1", "--set", "3"});
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Out, "ALD 1 tilt 3.0\n");
  EXPECT_EQ(run.Err,
            "tiltdeck-cli: Capture file '" + path + "' could not be written (File too large); the capture stopped\n");
  EXPECT_EQ(bus.Device("KA0000801234567")["subunits"][0]["tilt"], 30);
}

}  // namespace
