#include "serial/AisgSerial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>

#include "ald/AldTable.h"
#include "core/TraceLog.h"
#include "serial/ECommError.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct SharedTexts {
  std::mutex lock;
  std::string lastError;
  std::string detectedPort;
};

SharedTexts& Shared() {
  static SharedTexts texts;
  return texts;
}

struct SpeedEntry {
  uint32_t baud;
  speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

// termios only knows a fixed set of rates; any other cannot be set.
bool SpeedOf(uint32_t baud, speed_t* speed) {
  for (const SpeedEntry& entry : kSpeeds) {
    if (entry.baud == baud) {
      *speed = entry.speed;
      return true;
    }
  }
  return false;
}

// Raw binary line, 8N1. Software flow control goes too: XON and XOFF are
// ordinary octets inside a frame. Hardware flow control stays as the driver
// has it.
void MakeRaw(termios& tio, speed_t speed) {
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  // With VMIN 1 a read returns 0 only at end of file, which is how a line
  // that hung up shows itself; "no data yet" is EAGAIN on the non-blocking
  // descriptor.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
}

enum class WaitResult { kReady, kTimeout, kFailed };

// Waits until the descriptor is ready for events or the deadline passes. On
// kFailed errno tells why; a hang-up or error condition reads as EIO so that
// an adapter pulled out of its socket fails the transfer instead of spinning.
WaitResult WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    // Waited to the microsecond: a rounded millisecond per wait would add up
    // over the thousands of exchanges of a scan.
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return WaitResult::kTimeout;
    left = std::min<std::chrono::microseconds>(left, std::chrono::seconds(60));
    timespec wait{static_cast<time_t>(left.count() / 1000000), static_cast<long>(left.count() % 1000000) * 1000};
    pollfd p{fd, events, 0};
    int rc = ppoll(&p, 1, &wait, nullptr);
    if (rc < 0) {
      if (errno == EINTR) continue;
      return WaitResult::kFailed;
    }
    if (rc == 0) continue;
    if (p.revents & events) return WaitResult::kReady;
    errno = (p.revents & POLLNVAL) ? EBADF : EIO;
    return WaitResult::kFailed;
  }
}

milliseconds TotalTimeout(uint32_t octets, uint32_t perOctetMs, uint32_t constantMs) {
  return milliseconds(static_cast<int64_t>(octets) * perOctetMs + constantMs);
}

}  // namespace

std::atomic<int32_t> AisgSerial::portOpen_{0};

AisgSerial::AisgSerial(TraceLog& log, const AldTable& table)
    : log_(log), table_(table), capture_({"Tiltdeck", "", "aisg", "AISG bus as the primary station sees it"}, &log) {}

AisgSerial::~AisgSerial() {
  if (fd_ < 0 && !closeFailed_) return;
  try {
    Close();
  } catch (...) {
    // The descriptor is gone even though close() complained; finishing the
    // close lets the next owner open the port again.
    try {
      Close();
    } catch (...) {
    }
  }
}

std::string AisgSerial::LastError() {
  std::lock_guard<std::mutex> guard(Shared().lock);
  return Shared().lastError;
}

void AisgSerial::ClearLastError() {
  SetLastError("");
}

void AisgSerial::SetLastError(const std::string& text) {
  std::lock_guard<std::mutex> guard(Shared().lock);
  Shared().lastError = text;
}

std::string AisgSerial::DetectedPort() {
  std::lock_guard<std::mutex> guard(Shared().lock);
  return Shared().detectedPort;
}

void AisgSerial::SetDetectedPort(const std::string& port) {
  std::lock_guard<std::mutex> guard(Shared().lock);
  Shared().detectedPort = port;
}

void AisgSerial::SetPortName(const std::string& name) {
  if (IsOpen()) throw ECommError(ECommError::kPortNameWhileOpen, log_);
  portName_ = name;
}

std::string AisgSerial::DevicePath() const {
  return PortDiagnosis::DevicePath(portName_);
}

bool AisgSerial::SupportsBaud(uint32_t baud) {
  speed_t speed;
  return SpeedOf(baud, &speed);
}

void AisgSerial::Open() {
  if (IsOpen()) return;
  log_.Write(kTraceInfo, TraceClass::kComm, 0, "Opening com port '%s'", portName_.c_str());
  openFailure_ = PortDiagnosis{};
  if (!OpenDevice() || !ConfigureLine()) {
    log_.Write(kTraceError, TraceClass::kComm, 0, "Cannot open com port '%s': %s", portName_.c_str(),
               openFailure_.Text.c_str());
    return;
  }
  portOpen_ = 1;
}

// Closes what was opened, leaves the text of the failed step and why it
// failed.
bool AisgSerial::FailOpen(const char* lastError, int error) {
  if (fd_ >= 0) CloseDevice();
  SetLastError(lastError);
  openFailure_ = PortDiagnosis::Of(DevicePath(), error);
  return false;
}

// Non-blocking, so that opening a port without carrier does not hang; the
// transfers wait with poll() instead.
bool AisgSerial::OpenDevice() {
  fd_ = ::open(DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return FailOpen(kErrInvalidHandle, errno);
  // flock keeps out every other opener that asks, root included; TIOCEXCL
  // also keeps out programs that do not ask. TIOCEXCL fails only on a
  // device that is no terminal, which the line set-up reports next.
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return FailOpen(kErrInvalidHandle, errno);
  ioctl(fd_, TIOCEXCL);
  return true;
}

bool AisgSerial::ConfigureLine() {
  termios tio{};
  if (tcgetattr(fd_, &tio) != 0) return FailOpen(kErrCommState, errno);
  speed_t speed;
  if (!SpeedOf(baudRate_, &speed)) {
    FailOpen(kErrSetComm, EINVAL);
    openFailure_.Text = "baud rate " + std::to_string(baudRate_) + " not supported";
    return false;
  }
  MakeRaw(tio, speed);
  if (tcsetattr(fd_, TCSANOW, &tio) != 0) return FailOpen(kErrSetComm, errno);
  return true;
}

// Used where the open failed half-way: nothing to report, nothing to raise.
void AisgSerial::CloseDevice() {
  ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
}

void AisgSerial::Close() {
  if (!IsOpen()) return;
  if (fd_ >= 0) {
    // The exclusive mode outlives this descriptor while anyone else holds
    // the terminal open, so it is lifted before closing.
    ioctl(fd_, TIOCNXCL);
    int rc = ::close(fd_);
    int error = errno;
    fd_ = -1;
    if (rc != 0 && error != EINTR) {
      closeFailed_ = true;
      Fail(ECommError::kClose, error);
    }
  } else if (!closeFailed_) {
    // The port is open, but through another instance.
    Fail(ECommError::kClose, EBADF);
  }
  FinishClose();
}

void AisgSerial::FinishClose() {
  closeFailed_ = false;
  log_.Write(kTraceInfo, TraceClass::kComm, 0, "Closing com port '%s'", portName_.c_str());
  portOpen_ = 0;
}

void AisgSerial::SetBaudRate(uint32_t baud) {
  uint32_t previous = baudRate_;
  baudRate_ = baud;
  if (!IsOpen()) {
    SetLastError(kErrPortNotOpen);
    return;
  }
  termios tio{};
  speed_t speed;
  bool applied = fd_ >= 0 && SpeedOf(baud, &speed) && tcgetattr(fd_, &tio) == 0 && cfsetispeed(&tio, speed) == 0 &&
                 cfsetospeed(&tio, speed) == 0 && tcsetattr(fd_, TCSANOW, &tio) == 0;
  if (!applied) {
    baudRate_ = previous;
    SetLastError(kErrSetBaud);
  }
}

uint8_t AisgSerial::AldNumberOf(const uint8_t* bytes, uint32_t length) const {
  if (bytes == nullptr || length < 2) return 0;
  // The octet after the opening flag is the HDLC address, which is the ALD's
  // number when it names a known ALD; a broadcast names none.
  uint8_t address = bytes[1];
  return address <= table_.AldCount() ? address : 0;
}

void AisgSerial::Fail(int32_t code, int systemError) {
  throw ECommError(code, log_, static_cast<uint32_t>(systemError));
}

uint32_t AisgSerial::Write(const uint8_t* data, uint32_t length) {
  if (!IsOpen() || length == 0 || data == nullptr) return 0;
  log_.Write(kTraceInfo, TraceClass::kComm, AldNumberOf(data, length), "TX[%.2d] %s", static_cast<int>(length),
             TraceLog::HexDump(data, length).c_str());
  uint64_t startUs = BusCapture::NowUs();
  uint32_t sent = WriteAll(data, length);
  capture_.Record(CaptureDirection::kFromPrimary, startUs, data, sent);
  return sent;
}

uint32_t AisgSerial::WriteAll(const uint8_t* data, uint32_t length) {
  if (fd_ < 0) Fail(ECommError::kWrite, EBADF);
  auto deadline = Clock::now() + TotalTimeout(length, kWriteTotalPerOctetMs, kWriteTotalConstantMs);
  uint32_t sent = 0;
  while (sent < length) {
    ssize_t n = ::write(fd_, data + sent, length - sent);
    if (n > 0) {
      sent += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) Fail(ECommError::kWrite, errno);
    WaitResult wait = WaitFor(fd_, POLLOUT, deadline);
    if (wait == WaitResult::kTimeout) Fail(ECommError::kWrite, ETIMEDOUT);
    if (wait == WaitResult::kFailed) Fail(ECommError::kWrite, errno);
  }
  return sent;
}

uint32_t AisgSerial::Read(uint8_t* buffer, uint32_t capacity) {
  if (!IsOpen()) return 0;
  if (buffer == nullptr) capacity = 0;
  uint64_t firstOctetUs = 0;
  uint32_t got = ReadTimed(buffer, capacity, &firstOctetUs);
  capture_.Record(CaptureDirection::kToPrimary, firstOctetUs, buffer, got);
  log_.Write(kTraceInfo, TraceClass::kComm, AldNumberOf(buffer, capacity), "RX[%.2d] %s", static_cast<int>(got),
             TraceLog::HexDump(buffer, got).c_str());
  return got;
}

uint32_t AisgSerial::ReadAnswer(uint8_t* buffer, uint32_t capacity, AnswerEnd end) {
  answerEnd_ = end;
  struct Reset {
    AnswerEnd& end;
    ~Reset() { end = nullptr; }
  } reset{answerEnd_};
  return Read(buffer, capacity);
}

uint32_t AisgSerial::ReadOn(uint8_t* buffer, uint32_t capacity, AnswerEnd end) {
  readingOn_ = true;
  struct Reset {
    bool& on;
    ~Reset() { on = false; }
  } reset{readingOn_};
  return ReadAnswer(buffer, capacity, end);
}

// Without an answer end, the end of an answer is found by silence alone: the
// read ends when the buffer is full, when the line stays quiet for the
// interval after an octet, or when the total time for the capacity has
// passed. With one, a complete answer ends it at once as well.
uint32_t AisgSerial::ReadTimed(uint8_t* buffer, uint32_t capacity, uint64_t* firstOctetUs) {
  answerCompletedAt_.reset();
  if (capacity == 0) return 0;
  if (fd_ < 0) Fail(ECommError::kRead, EBADF);
  if (!readingOn_) readTotal_ = Clock::now() + TotalTimeout(capacity, kReadTotalPerOctetMs, kReadTotalConstantMs);
  const auto total = readTotal_;
  uint32_t got = TakeLeftOver(buffer, capacity);
  if (got > 0) *firstOctetUs = BusCapture::NowUs();
  if (AnswerComplete(buffer, &got)) return got;
  auto deadline = got > 0 ? std::min(total, Clock::now() + milliseconds(kReadIntervalMs)) : total;
  while (got < capacity) {
    WaitResult wait = WaitFor(fd_, POLLIN, deadline);
    if (wait == WaitResult::kTimeout) break;
    if (wait == WaitResult::kFailed) Fail(ECommError::kRead, errno);
    ssize_t n = ::read(fd_, buffer + got, capacity - got);
    if (n > 0) {
      if (got == 0) *firstOctetUs = BusCapture::NowUs();
      got += static_cast<uint32_t>(n);
      if (AnswerComplete(buffer, &got)) break;
      deadline = std::min(total, Clock::now() + milliseconds(kReadIntervalMs));
      continue;
    }
    if (n == 0) Fail(ECommError::kRead, EIO);  // end of file: the line hung up
    if (errno != EAGAIN && errno != EINTR) Fail(ECommError::kRead, errno);
  }
  return got;
}

uint32_t AisgSerial::TakeLeftOver(uint8_t* buffer, uint32_t capacity) {
  auto n = static_cast<uint32_t>(std::min<size_t>(leftOver_.size(), capacity));
  std::copy(leftOver_.begin(), leftOver_.begin() + n, buffer);
  leftOver_.erase(leftOver_.begin(), leftOver_.begin() + n);
  return n;
}

// What came after the answer's end is not part of it; it stays for whoever
// reads next.
bool AisgSerial::AnswerComplete(uint8_t* buffer, uint32_t* got) {
  if (answerEnd_ == nullptr || *got == 0) return false;
  size_t end = answerEnd_(buffer, *got);
  if (end == 0 || end > *got) return false;
  leftOver_.insert(leftOver_.begin(), buffer + end, buffer + *got);
  *got = static_cast<uint32_t>(end);
  answerCompletedAt_ = Clock::now();
  return true;
}

// A line that fails here fails the request that follows as well, which is
// where the failure is reported; this only stops looking.
uint32_t AisgSerial::DiscardInput(SteadyTime until) {
  if (!IsOpen() || fd_ < 0) return 0;
  std::vector<uint8_t> octets;
  octets.swap(leftOver_);
  uint64_t firstOctetUs = BusCapture::NowUs();
  uint8_t chunk[256];
  for (;;) {
    ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n > 0) {
      octets.insert(octets.end(), chunk, chunk + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || errno != EAGAIN) break;
    if (WaitFor(fd_, POLLIN, until) != WaitResult::kReady) break;
  }
  if (octets.empty()) return 0;
  auto count = static_cast<uint32_t>(octets.size());
  capture_.Record(CaptureDirection::kToPrimary, firstOctetUs, octets.data(), count);
  log_.Write(kTraceInfo, TraceClass::kComm, AldNumberOf(octets.data(), count), "RX[%.2d] %s", static_cast<int>(count),
             TraceLog::HexDump(octets.data(), count).c_str());
  return count;
}
