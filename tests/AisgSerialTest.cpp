#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "DeniedPort.h"
#include "Hex.h"
#include "PtyPair.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "link/HdlcCodec.h"
#include "serial/AisgSerial.h"
#include "serial/ECommError.h"
#include "serial/PortStartup.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

long ElapsedMs(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

termios LineSettings(int fd) {
  termios tio{};
  EXPECT_EQ(tcgetattr(fd, &tio), 0);
  return tio;
}

// Inserts count ALDs, so addresses 1..count name known devices.
void AddAlds(AldTable& table, unsigned count) {
  AldRecord scratch;
  scratch.InUse = 1;
  for (unsigned i = 0; i < count; ++i) ASSERT_NE(table.Insert(scratch), AldTable::kNoSlot);
}

class AisgSerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(AisgSerial::IsOpen()) << "an earlier test left the port open";
    AisgSerial::ClearLastError();
    AisgSerial::SetDetectedPort("");
  }

  // Opens the pty and forgets the lines that opening wrote.
  void OpenPty() {
    serial.SetPortName(pty.SlavePath());
    serial.Open();
    ASSERT_TRUE(AisgSerial::IsOpen()) << AisgSerial::LastError();
    log.TakePending();
  }

  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  PtyPair pty;
  AisgSerial serial{log, table};
};

TEST_F(AisgSerialTest, StartsClosedWithDefaults) {
  EXPECT_EQ(serial.PortName(), "/dev/ttyS0");
  EXPECT_EQ(serial.BaudRate(), 9600u);
  EXPECT_FALSE(AisgSerial::IsOpen());
  EXPECT_EQ(AisgSerial::LastError(), "");
}

TEST_F(AisgSerialTest, OpenAndCloseTraceAndChangeState) {
  serial.SetPortName(pty.SlavePath());
  serial.Open();
  EXPECT_TRUE(AisgSerial::IsOpen());
  EXPECT_EQ(AisgSerial::LastError(), "");
  std::string text = log.TakePending();
  EXPECT_TRUE(Contains(text, "INF ")) << text;
  EXPECT_TRUE(Contains(text, " COMM ... Opening com port '" + pty.SlavePath() + "'\r\n")) << text;

  serial.Close();
  EXPECT_FALSE(AisgSerial::IsOpen());
  EXPECT_TRUE(Contains(log.TakePending(), " COMM ... Closing com port '" + pty.SlavePath() + "'\r\n"));

  serial.Close();  // closed already: nothing happens
  EXPECT_EQ(log.TakePending(), "");

  serial.Open();  // the same instance opens again after a close
  EXPECT_TRUE(AisgSerial::IsOpen()) << AisgSerial::LastError();
}

TEST_F(AisgSerialTest, OpenOnOpenPortDoesNothing) {
  OpenPty();
  serial.SetBaudRate(12345);  // not a line rate: leaves a text behind
  ASSERT_EQ(AisgSerial::LastError(), "SetBaud Error");
  serial.Open();
  EXPECT_TRUE(AisgSerial::IsOpen());
  EXPECT_EQ(AisgSerial::LastError(), "SetBaud Error");
  EXPECT_EQ(log.TakePending(), "");
}

TEST_F(AisgSerialTest, OpenFailuresLeaveThePortClosed) {
  serial.SetPortName("/dev/no-such-port-here");
  serial.Open();
  EXPECT_FALSE(AisgSerial::IsOpen());
  EXPECT_EQ(AisgSerial::LastError(), "Invalid Handle");
  EXPECT_TRUE(Contains(log.TakePending(), "Opening com port '/dev/no-such-port-here'"));

  // A device that is no serial line has no line settings to read.
  AisgSerial::ClearLastError();
  serial.SetPortName("/dev/null");
  serial.Open();
  EXPECT_FALSE(AisgSerial::IsOpen());
  EXPECT_EQ(AisgSerial::LastError(), "Comm State error");

  // A rate that the line cannot run at fails the line set-up.
  AisgSerial::ClearLastError();
  serial.SetBaudRate(12345);
  serial.SetPortName(pty.SlavePath());
  serial.Open();
  EXPECT_FALSE(AisgSerial::IsOpen());
  EXPECT_EQ(AisgSerial::LastError(), "Set Comm Error");
  EXPECT_EQ(serial.BaudRate(), 12345u);

  // None of the failures kept the device: a good rate opens it.
  AisgSerial::ClearLastError();
  serial.SetBaudRate(9600);
  serial.Open();
  EXPECT_TRUE(AisgSerial::IsOpen()) << AisgSerial::LastError();
}

// The failure keeps its texts and also says why, in the user's terms, with
// a trace line of its own.
TEST_F(AisgSerialTest, OpenFailureSaysWhy) {
  serial.SetPortName("/dev/no-such-port-here");
  serial.Open();
  EXPECT_EQ(AisgSerial::LastError(), "Invalid Handle");
  EXPECT_EQ(serial.OpenFailure().What, PortDiagnosis::Kind::kNoSuchPort);
  EXPECT_TRUE(Contains(log.TakePending(), "Cannot open com port '/dev/no-such-port-here': no such port"));
  serial.SetPortName("/dev/null");
  serial.Open();
  EXPECT_EQ(AisgSerial::LastError(), "Comm State error");
  EXPECT_EQ(serial.OpenFailure().What, PortDiagnosis::Kind::kNotSerialPort);
  serial.SetPortName(pty.SlavePath());
  serial.Open();
  EXPECT_TRUE(AisgSerial::IsOpen());
}

// A user who may not open the port is told which group lets them in; the
// superuser running the tests is never refused, so the diagnosis is asked
// for the error directly.
TEST(PortDiagnosisTest, PermissionDeniedNamesTheGroupToJoin) {
  TempDir dir;
  std::string port = dir.File("ttyUSB9");
  std::ofstream(port) << "";
  group* dialout = getgrnam("dialout");
  if (dialout == nullptr || chown(port.c_str(), getuid(), dialout->gr_gid) != 0) GTEST_SKIP() << "no dialout group";
  PortDiagnosis d = PortDiagnosis::Of(port, EACCES);
  EXPECT_EQ(d.What, PortDiagnosis::Kind::kPermissionDenied);
  EXPECT_EQ(d.Text, "permission denied (join the group 'dialout': sudo usermod -aG dialout $USER, then log in again)");
  EXPECT_EQ(PortDiagnosis::Of(port, EBUSY).Text, "in use by another program");
  EXPECT_EQ(PortDiagnosis::DevicePath("ttyS0"), "/dev/ttyS0");
  EXPECT_EQ(PortDiagnosis::DevicePath("./bus"), "./bus");
  EXPECT_EQ(PortDiagnosis::DevicePath("sub/bus"), "sub/bus");
}

// A bare name is a device under /dev/ ("ptmx", a terminal that every
// system has); a name with a slash is a path as given, so "pts/N" is not
// looked up under /dev/.
TEST_F(AisgSerialTest, BareNameIsTakenUnderDev) {
  serial.SetPortName("ptmx");
  serial.Open();
  EXPECT_TRUE(AisgSerial::IsOpen()) << AisgSerial::LastError();
  EXPECT_EQ(serial.PortName(), "ptmx");
  EXPECT_TRUE(Contains(log.TakePending(), "Opening com port 'ptmx'"));
  serial.Close();
  ASSERT_EQ(pty.SlavePath().rfind("/dev/", 0), 0u);
  serial.SetPortName(pty.SlavePath().substr(5));  // "pts/N"
  serial.Open();
  EXPECT_FALSE(AisgSerial::IsOpen());
  EXPECT_EQ(serial.OpenFailure().What, PortDiagnosis::Kind::kNoSuchPort);
}

TEST_F(AisgSerialTest, OpenPortIsExclusive) {
  OpenPty();
  int exclusive = 0;
  ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 1);

  // Exclusive mode turns away new openers except the superuser; the lock
  // turns away everyone that asks for it, the superuser included.
  int other = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (other < 0) {
    EXPECT_EQ(errno, EBUSY);
  } else {
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errno, EWOULDBLOCK);
    close(other);
  }

  // Closing gives the line back to everyone.
  serial.Close();
  ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  other = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  close(other);
}

TEST_F(AisgSerialTest, OpenSetsRawEightNoneOneAndKeepsHardwareFlowControl) {
  termios tio = LineSettings(pty.SlaveFd());
  tio.c_lflag |= ICANON | ECHO | ISIG;
  tio.c_iflag |= ICRNL | IXON;
  tio.c_oflag |= OPOST;
  tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
  cfsetospeed(&tio, B1200);
  ASSERT_EQ(tcsetattr(pty.SlaveFd(), TCSANOW, &tio), 0);

  OpenPty();
  tio = LineSettings(pty.SlaveFd());
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);

  // Without hardware flow control before, there is none after.
  serial.Close();
  tio.c_cflag &= ~CRTSCTS;
  ASSERT_EQ(tcsetattr(pty.SlaveFd(), TCSANOW, &tio), 0);
  serial.Open();
  EXPECT_EQ(LineSettings(pty.SlaveFd()).c_cflag & CRTSCTS, 0u);
}

TEST_F(AisgSerialTest, BaudRateOnClosedPortTakesEffectAtOpen) {
  serial.SetBaudRate(19200);
  EXPECT_EQ(AisgSerial::LastError(), "port not open");
  EXPECT_EQ(serial.BaudRate(), 19200u);

  AisgSerial::ClearLastError();
  OpenPty();
  EXPECT_EQ(AisgSerial::LastError(), "");
  EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(LineSettings(pty.SlaveFd()))), static_cast<speed_t>(B19200));
  EXPECT_EQ(log.TakePending(), "");  // setting the rate traces nothing
}

TEST_F(AisgSerialTest, BaudRateOnOpenPortChangesTheLineOrKeepsTheOldRate) {
  OpenPty();
  serial.SetBaudRate(38400);
  EXPECT_EQ(AisgSerial::LastError(), "");
  EXPECT_EQ(serial.BaudRate(), 38400u);
  termios tio = LineSettings(pty.SlaveFd());
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));

  serial.SetBaudRate(12345);
  EXPECT_EQ(AisgSerial::LastError(), "SetBaud Error");
  EXPECT_EQ(serial.BaudRate(), 38400u);
  tio = LineSettings(pty.SlaveFd());
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));
  EXPECT_EQ(log.TakePending(), "");
}

TEST_F(AisgSerialTest, PortNameCannotChangeWhileOpen) {
  OpenPty();
  try {
    serial.SetPortName("/dev/ttyS1");
    FAIL() << "no exception";
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Code, ECommError::kPortNameWhileOpen);
    EXPECT_EQ(e.Log, &log);
  }
  EXPECT_EQ(serial.PortName(), pty.SlavePath());
  std::string text = log.TakePending();
  EXPECT_EQ(text.rfind("ERR ", 0), 0u) << text;
  EXPECT_TRUE(Contains(text, " COMM ... Exception raised. Check the connection!\r\n")) << text;

  serial.Close();
  serial.SetPortName("/dev/ttyS1");
  EXPECT_EQ(serial.PortName(), "/dev/ttyS1");
}

TEST_F(AisgSerialTest, ExceptionTakesErrno) {
  errno = ENOENT;
  ECommError e(ECommError::kRead, log);
  EXPECT_EQ(e.Code, 10);
  EXPECT_EQ(e.SystemError, static_cast<uint32_t>(ENOENT));
  EXPECT_TRUE(Contains(log.TakePending(), " COMM ... Exception raised. Check the connection!\r\n"));
  EXPECT_EQ(ECommError::kPortNameWhileOpen, 6);
  EXPECT_EQ(ECommError::kWrite, 9);
  EXPECT_EQ(ECommError::kClose, 11);
}

TEST_F(AisgSerialTest, NothingMovesOnAClosedPortOrWithoutData) {
  uint8_t frame[3] = {0x7E, 0xFF, 0x7E};
  uint8_t buffer[8] = {};
  EXPECT_EQ(serial.Write(frame, 3), 0u);
  EXPECT_EQ(serial.Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(log.TakePending(), "");

  OpenPty();
  EXPECT_EQ(serial.Write(frame, 0), 0u);
  EXPECT_EQ(serial.Write(nullptr, 3), 0u);
  EXPECT_EQ(log.TakePending(), "");
  EXPECT_TRUE(pty.ReadMaster(1, 50).empty());
}

TEST_F(AisgSerialTest, WriteTracesBeforeSendingWithTheAldNumber) {
  AddAlds(table, 3);
  OpenPty();
  auto broadcast = Hex("7E FF BF 81 F0 05 01 03 AA BB 7E");
  EXPECT_EQ(serial.Write(broadcast.data(), 11), 11u);
  EXPECT_EQ(pty.ReadMaster(11), broadcast);
  std::string text = log.TakePending();
  EXPECT_EQ(text.rfind("INF ", 0), 0u) << text;
  EXPECT_TRUE(Contains(text, " COMM ... TX[11] 7E FF BF 81 F0 05 01 03 AA BB 7E \r\n")) << text;

  auto known = Hex("7E 03 93 12 34 7E");
  serial.Write(known.data(), 6);
  EXPECT_TRUE(Contains(log.TakePending(), " COMM 003 TX[06] 7E 03 93 12 34 7E \r\n"));
  EXPECT_EQ(pty.ReadMaster(6), known);

  auto unknown = Hex("7E 04 93 12 34 7E");
  serial.Write(unknown.data(), 6);
  EXPECT_TRUE(Contains(log.TakePending(), " COMM ... TX[06] 7E 04 93 "));

  uint8_t single = 0x03;
  serial.Write(&single, 1);
  EXPECT_TRUE(Contains(log.TakePending(), " COMM ... TX[01] 03 \r\n"));
}

TEST_F(AisgSerialTest, ShortPauseInsideAnAnswerGivesOneRead) {
  AddAlds(table, 1);
  OpenPty();
  std::thread farEnd([this] {
    pty.WriteMaster(Hex("7E 01 73"));
    std::this_thread::sleep_for(milliseconds(20));
    pty.WriteMaster(Hex("AB CD 7E"));
  });
  uint8_t buffer[168] = {};
  uint32_t n = serial.Read(buffer, sizeof buffer);
  farEnd.join();
  EXPECT_EQ(ToHex(buffer, n), "7E 01 73 AB CD 7E");
  EXPECT_TRUE(Contains(log.TakePending(), " COMM 001 RX[06] 7E 01 73 AB CD 7E \r\n"));
}

TEST_F(AisgSerialTest, LongPauseSplitsAnAnswerIntoTwoReads) {
  OpenPty();
  std::thread farEnd([this] {
    pty.WriteMaster(Hex("7E 01 73"));
    std::this_thread::sleep_for(milliseconds(150));
    pty.WriteMaster(Hex("AB CD 7E"));
  });
  uint8_t first[168] = {};
  uint32_t n1 = serial.Read(first, sizeof first);
  uint8_t second[168] = {};
  uint32_t n2 = serial.Read(second, sizeof second);
  farEnd.join();
  EXPECT_EQ(ToHex(first, n1), "7E 01 73");
  EXPECT_EQ(ToHex(second, n2), "AB CD 7E");
  std::string text = log.TakePending();
  EXPECT_TRUE(Contains(text, " RX[03] 7E 01 73 \r\n")) << text;
  EXPECT_TRUE(Contains(text, " RX[03] AB CD 7E \r\n")) << text;
}

TEST_F(AisgSerialTest, ReadOfNothingEndsAfterTheTotalTimeAndIsTraced) {
  OpenPty();
  uint8_t buffer[168] = {};
  auto start = Clock::now();
  EXPECT_EQ(serial.Read(buffer, sizeof buffer), 0u);
  long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 400);  // 168 x 1 ms + 250 ms
  EXPECT_LT(elapsed, 2000);
  std::string text = log.TakePending();
  EXPECT_EQ(text.rfind("INF ", 0), 0u) << text;
  EXPECT_TRUE(Contains(text, " COMM ... RX[00] \r\n")) << text;
}

// Reading on after an answer that was not the one sought keeps the total
// time of the read that found it: the search gives up when the first read
// would have given up, not a whole read time after the frame passed over.
TEST_F(AisgSerialTest, ReadingOnKeepsTheFirstReadsTotalTime) {
  class Reader : public AisgSerial {
   public:
    using AisgSerial::AisgSerial;
    using AisgSerial::ReadAnswer;
    using AisgSerial::ReadOn;
  } reader{log, table};
  reader.SetPortName(pty.SlavePath());
  reader.Open();
  ASSERT_TRUE(AisgSerial::IsOpen()) << AisgSerial::LastError();
  std::thread farEnd([this] {
    std::this_thread::sleep_for(milliseconds(300));
    pty.WriteMaster(Hex("7E 01 73 83 57 7E"));
  });
  uint8_t buffer[168] = {};
  auto start = Clock::now();
  EXPECT_EQ(reader.ReadAnswer(buffer, sizeof buffer, &HdlcCodec::FrameEnd), 6u);
  farEnd.join();
  EXPECT_EQ(reader.ReadOn(buffer, sizeof buffer, &HdlcCodec::FrameEnd), 0u);
  long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 400);  // 168 x 1 ms + 250 ms from the first read's start
  EXPECT_LT(elapsed, 600);
  reader.Close();
}

TEST_F(AisgSerialTest, ReadEndsWhenTheBufferIsFullAndLeavesTheRest) {
  OpenPty();
  pty.WriteMaster(Hex("01 02 03 04 05 06 07 08 09 0A"));
  std::this_thread::sleep_for(milliseconds(10));  // all ten are in the input queue
  uint8_t buffer[4] = {};
  auto start = Clock::now();
  ASSERT_EQ(serial.Read(buffer, 4), 4u);
  // Well below the silence interval, so the full buffer ended the read.
  EXPECT_LT(ElapsedMs(start), static_cast<long>(AisgSerial::kReadIntervalMs));
  EXPECT_EQ(ToHex(buffer, 4), "01 02 03 04");

  uint8_t rest[168] = {};
  uint32_t n = serial.Read(rest, sizeof rest);
  EXPECT_EQ(ToHex(rest, n), "05 06 07 08 09 0A");
}

TEST_F(AisgSerialTest, HangUpRaisesInsteadOfWaiting) {
  OpenPty();
  pty.CloseMaster();
  uint8_t buffer[168] = {};
  auto start = Clock::now();
  try {
    serial.Read(buffer, sizeof buffer);
    FAIL() << "no exception";
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Code, ECommError::kRead);
    EXPECT_EQ(e.SystemError, static_cast<uint32_t>(EIO));
  }
  EXPECT_LT(ElapsedMs(start), 400);  // not the time-out of a quiet line
  std::string text = log.TakePending();
  EXPECT_TRUE(Contains(text, "ERR ")) << text;
  EXPECT_TRUE(Contains(text, " COMM ... Exception raised. Check the connection!\r\n")) << text;
  EXPECT_FALSE(Contains(text, "RX[")) << text;

  uint8_t frame[3] = {0x7E, 0xFF, 0x7E};
  try {
    serial.Write(frame, 3);
    FAIL() << "no exception";
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Code, ECommError::kWrite);
  }
  // The trace shows what was meant to go out, then the failure.
  text = log.TakePending();
  EXPECT_LT(text.find("TX[03] 7E FF 7E"), text.find("Exception raised"));
}

TEST_F(AisgSerialTest, WriteThatCannotFinishInTimeFails) {
  OpenPty();
  // Nobody reads the far end, so the line's queues fill up.
  std::vector<uint8_t> block(256, 0x55);
  int32_t code = 0;
  uint32_t systemError = 0;
  for (int i = 0; i < 4000 && code == 0; ++i) {
    try {
      ASSERT_EQ(serial.Write(block.data(), static_cast<uint32_t>(block.size())), block.size());
    } catch (const ECommError& e) {
      code = e.Code;
      systemError = e.SystemError;
    }
  }
  EXPECT_EQ(code, ECommError::kWrite);
  EXPECT_EQ(systemError, static_cast<uint32_t>(ETIMEDOUT));
}

// The descriptor the port instance holds, found among the process's own.
int PortDescriptor(const std::string& path, int besides) {
  DIR* fds = opendir("/proc/self/fd");
  int found = -1;
  while (dirent* entry = readdir(fds)) {
    char target[256] = {};
    std::string link = std::string("/proc/self/fd/") + entry->d_name;
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    int fd = atoi(entry->d_name);
    if (n > 0 && path == target && fd != besides && fd != dirfd(fds)) found = fd;
  }
  closedir(fds);
  return found;
}

TEST_F(AisgSerialTest, FailedCloseKeepsThePortOpenUntilClosedAgain) {
  OpenPty();
  int fd = PortDescriptor(pty.SlavePath(), pty.SlaveFd());
  ASSERT_GE(fd, 0);
  close(fd);  // pulled away underneath, so the port's own operations fail

  // A descriptor that is no longer valid fails the read at once.
  uint8_t buffer[168] = {};
  auto start = Clock::now();
  try {
    serial.Read(buffer, sizeof buffer);
    FAIL() << "no exception";
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Code, ECommError::kRead);
    EXPECT_EQ(e.SystemError, static_cast<uint32_t>(EBADF));
  }
  EXPECT_LT(ElapsedMs(start), 400);

  try {
    serial.Close();
    FAIL() << "no exception";
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Code, ECommError::kClose);
    EXPECT_EQ(e.SystemError, static_cast<uint32_t>(EBADF));
  }
  EXPECT_TRUE(AisgSerial::IsOpen());
  EXPECT_FALSE(Contains(log.TakePending(), "Closing com port"));

  serial.Close();
  EXPECT_FALSE(AisgSerial::IsOpen());
  EXPECT_TRUE(Contains(log.TakePending(), "Closing com port"));
}

TEST_F(AisgSerialTest, OnlyTheInstanceHoldingThePortMovesOctets) {
  OpenPty();
  AisgSerial other(log, table);
  EXPECT_TRUE(AisgSerial::IsOpen());  // the open state is the process's
  other.Open();                       // so this does nothing
  EXPECT_EQ(log.TakePending(), "");

  uint8_t frame[3] = {0x7E, 0xFF, 0x7E};
  uint8_t buffer[8] = {};
  EXPECT_THROW(other.Write(frame, 3), ECommError);
  EXPECT_THROW(other.Read(buffer, sizeof buffer), ECommError);
  EXPECT_THROW(other.Close(), ECommError);
  EXPECT_TRUE(AisgSerial::IsOpen());

  EXPECT_EQ(serial.Write(frame, 3), 3u);
  EXPECT_EQ(pty.ReadMaster(3), std::vector<uint8_t>(frame, frame + 3));
}

TEST_F(AisgSerialTest, DestructorClosesAnOpenPort) {
  {
    AisgSerial owner(log, table);
    owner.SetPortName(pty.SlavePath());
    owner.Open();
    ASSERT_TRUE(AisgSerial::IsOpen());
  }
  EXPECT_FALSE(AisgSerial::IsOpen());
  EXPECT_TRUE(Contains(log.TakePending(), "Closing com port '" + pty.SlavePath() + "'"));
  int exclusive = 1;
  ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
}

TEST_F(AisgSerialTest, SharedTextsAreSetAndCleared) {
  AisgSerial::SetDetectedPort("/dev/ttyUSB0");
  EXPECT_EQ(AisgSerial::DetectedPort(), "/dev/ttyUSB0");
  serial.SetBaudRate(9600);
  EXPECT_EQ(AisgSerial::LastError(), "port not open");
  AisgSerial::ClearLastError();
  EXPECT_EQ(AisgSerial::LastError(), "");
}

using AisgSerialStartupTest = AisgSerialTest;

TEST_F(AisgSerialStartupTest, GoodPortIsReportedOpen) {
  EXPECT_TRUE(OpenAndReportPort(serial, log, pty.SlavePath(), 19200));
  EXPECT_TRUE(AisgSerial::IsOpen());
  EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(LineSettings(pty.SlaveFd()))), static_cast<speed_t>(B19200));
  std::string text = log.TakePending();
  EXPECT_TRUE(Contains(text, "INF ")) << text;
  EXPECT_TRUE(Contains(text, " MAIN ... Successfully opened and configured com port\r\n")) << text;
}

TEST_F(AisgSerialStartupTest, MissingPortIsReportedUnable) {
  EXPECT_FALSE(OpenAndReportPort(serial, log, "/dev/no-such-port-here", 9600));
  EXPECT_FALSE(AisgSerial::IsOpen());
  // The failed open is followed by a rate change on a closed port.
  EXPECT_EQ(AisgSerial::LastError(), "port not open");
  std::string text = log.TakePending();
  EXPECT_TRUE(Contains(text, "ERR ")) << text;
  EXPECT_TRUE(Contains(text, " MAIN ... Unable to open com port\r\n")) << text;
}

// The bare "Unable to open com port" left a technician who is not in the
// dialout group guessing; the line after it names the port and the group.
TEST_F(AisgSerialStartupTest, PortTheUserMayNotOpenIsReportedWithTheGroupToJoin) {
  DeniedPort denied(pty.SlavePath());
  if (!denied.Ready()) GTEST_SKIP() << "cannot refuse a terminal here (no dialout group or no user nobody)";
  bool open = true;
  {
    DeniedPort::Refused asUser(denied);
    open = OpenAndReportPort(serial, log, pty.SlavePath(), 9600);
  }
  EXPECT_FALSE(open);
  EXPECT_EQ(serial.OpenFailure().What, PortDiagnosis::Kind::kPermissionDenied);
  std::string text = log.TakePending();
  std::string advice = "cannot open " + pty.SlavePath() + ": permission denied";
  if (denied.Dialout()) advice += " (join the group 'dialout': sudo usermod -aG dialout $USER, then log in again)";
  size_t unable = text.find(" MAIN ... Unable to open com port\r\n");
  ASSERT_NE(unable, std::string::npos) << text;
  // The very next line.
  size_t nextLine = text.find('\n', unable) + 1;
  size_t advised = text.find(" MAIN ... " + advice + "\r\n", nextLine);
  ASSERT_NE(advised, std::string::npos) << text;
  EXPECT_LT(advised, text.find('\n', nextLine)) << text;
  EXPECT_TRUE(Contains(text.substr(nextLine, advised - nextLine), "ERR ")) << text;
}

TEST_F(AisgSerialStartupTest, PortHeldByAnotherProgramIsReportedInUse) {
  int other = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "another program holds the port";
  EXPECT_FALSE(OpenAndReportPort(serial, log, pty.SlavePath(), 9600));
  close(other);
  std::string text = log.TakePending();
  EXPECT_TRUE(Contains(text, " MAIN ... Unable to open com port\r\n")) << text;
  EXPECT_TRUE(Contains(text, " MAIN ... cannot open " + pty.SlavePath() + ": in use by another program\r\n")) << text;
  EXPECT_TRUE(OpenAndReportPort(serial, log, pty.SlavePath(), 9600)) << "free again once the other lets go";
}

TEST_F(AisgSerialStartupTest, RenameOfAnOpenPortIsCaughtAndReported) {
  OpenPty();
  EXPECT_FALSE(OpenAndReportPort(serial, log, "/dev/ttyS1", 9600));
  EXPECT_EQ(serial.PortName(), pty.SlavePath());
  std::string text = log.TakePending();
  EXPECT_TRUE(Contains(text, "Exception raised. Check the connection!")) << text;
  EXPECT_TRUE(Contains(text, " MAIN ... Unable to open com port\r\n")) << text;
  EXPECT_FALSE(Contains(text, "Successfully")) << text;
}

TEST_F(AisgSerialStartupTest, EarlierFailureTextDoesNotSpoilAGoodOpen) {
  serial.SetBaudRate(9600);
  ASSERT_EQ(AisgSerial::LastError(), "port not open");
  EXPECT_TRUE(OpenAndReportPort(serial, log, pty.SlavePath(), 9600));
  EXPECT_EQ(AisgSerial::LastError(), "");
}

}  // namespace
