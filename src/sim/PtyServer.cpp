#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string Hex(const std::vector<uint8_t>& octets) {
  std::string text;
  char digits[4];
  for (uint8_t octet : octets) {
    std::snprintf(digits, sizeof digits, "%02X ", octet);
    text += digits;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

std::string SystemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

PtyServer::PtyServer(VirtualBus& bus, Options options)
    : bus_(bus),
      options_(std::move(options)),
      octetTime_(std::chrono::duration_cast<Clock::duration>(
          std::chrono::microseconds(std::max<uint32_t>(1, 10000000 / std::max<uint32_t>(1, options_.Baud))))),
      capture_({"aldsim", "", "aisg", "AISG bus as the simulated ALDs see it"}) {}

PtyServer::~PtyServer() {
  Stop();
  CloseAll();
}

bool PtyServer::Open(const std::string& linkPath, std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  char name[PATH_MAX];
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    *error = SystemError("cannot create a pseudo-terminal");
    return false;
  }
  slavePath_ = name;
  // The line is binary: no echo, no line editing, no translation.
  termios attributes{};
  tcgetattr(master_, &attributes);
  cfmakeraw(&attributes);
  tcsetattr(master_, TCSANOW, &attributes);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
    *error = SystemError("cannot create a pipe");
    return false;
  }
  if (!options_.LogPath.empty()) {
    log_.open(options_.LogPath, std::ios::trunc);
    if (!log_) {
      *error = "cannot write " + options_.LogPath;
      return false;
    }
  }
  if (linkPath.empty()) return true;
  struct stat info {};
  if (lstat(linkPath.c_str(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) {
      *error = linkPath + " exists and is not a symbolic link";
      return false;
    }
    unlink(linkPath.c_str());
  }
  if (symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
    *error = SystemError("cannot link " + linkPath);
    return false;
  }
  linkPath_ = linkPath;
  return true;
}

bool PtyServer::Start(std::string* error) {
  if (master_ < 0) {
    *error = "the pseudo-terminal is not open";
    return false;
  }
  started_ = Clock::now();
  thread_ = std::thread(&PtyServer::Run, this);
  return true;
}

void PtyServer::Stop() {
  stop_ = true;
  if (wake_[1] >= 0) {
    char octet = 1;
    [[maybe_unused]] ssize_t written = write(wake_[1], &octet, 1);
  }
  if (thread_.joinable()) thread_.join();
}

void PtyServer::CloseAll() {
  if (!linkPath_.empty()) {
    char target[PATH_MAX];
    ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<size_t>(n)) == slavePath_) unlink(linkPath_.c_str());
  }
  for (int fd : {master_, wake_[0], wake_[1]}) {
    if (fd >= 0) close(fd);
  }
  master_ = wake_[0] = wake_[1] = -1;
}

void PtyServer::Run() {
  while (!stop_) {
    WriteDue(Clock::now());
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    timespec wait = WaitTime(Clock::now());
    ppoll(fds, 2, &wait, nullptr);
    if (fds[1].revents & POLLIN) {
      char drain[16];
      while (read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    if (fds[0].revents & POLLIN) {
      ReadInput();
    } else if (fds[0].revents & POLLHUP) {
      ForgetClient();
      poll(&fds[1], 1, 10);
    }
  }
}

// The last client closed the slave: forget its half-heard frame and pending
// answers, and what it did not read.
void PtyServer::ForgetClient() {
  outgoing_.clear();
  reader_.Reset();
  tcflush(master_, TCOFLUSH);
}

void PtyServer::ReadInput() {
  uint8_t buffer[256];
  ssize_t n = read(master_, buffer, sizeof buffer);
  if (n <= 0) return;
  Clock::time_point heardAt = Clock::now();
  uint64_t heardUs = BusCapture::NowUs();
  reader_.Feed(buffer, static_cast<size_t>(n), [&](const uint8_t* octets, size_t length) {
    std::vector<uint8_t> frame(octets, octets + length);
    capture_.Record(CaptureDirection::kFromPrimary, heardUs, frame.data(), frame.size());
    Answer(frame, heardAt);
  });
}

void PtyServer::Answer(const std::vector<uint8_t>& frame, Clock::time_point heardAt) {
  Log("RX", frame);
  VirtualBus::Answer answer = bus_.Handle(frame.data(), frame.size());
  if (!answer.OnTime.empty()) {
    Log("TX", answer.OnTime);
    // The primary hands the whole request to the pseudo-terminal at once; on
    // the wire its octets take their line time before a device has heard
    // the closing flag, and only then does the turnaround begin.
    Clock::time_point heardEnd = heardAt + octetTime_ * static_cast<long>(frame.size());
    Clock::time_point start = heardEnd + std::chrono::milliseconds(options_.TurnaroundMs);
    if (answer.SplitAt > 0 && answer.SplitAt < answer.OnTime.size()) {
      auto split = answer.OnTime.begin() + static_cast<long>(answer.SplitAt);
      std::vector<uint8_t> rest(split, answer.OnTime.end());
      answer.OnTime.erase(split, answer.OnTime.end());
      Clock::time_point restStart =
          start + octetTime_ * static_cast<long>(answer.OnTime.size()) + std::chrono::milliseconds(answer.SplitPauseMs);
      Schedule(std::move(answer.OnTime), start);
      Schedule(std::move(rest), restStart);
    } else {
      Schedule(std::move(answer.OnTime), start);
    }
  }
  if (!answer.Late.empty()) {
    Log("TX LATE", answer.Late);
    Schedule(std::move(answer.Late), heardAt + std::chrono::milliseconds(bus_.LateMs()));
  }
}

// Keeps the chunks in time order, each starting no earlier than the one
// before it has ended.
void PtyServer::Schedule(std::vector<uint8_t> octets, Clock::time_point at) {
  auto later = std::upper_bound(outgoing_.begin(), outgoing_.end(), at,
                                [](Clock::time_point t, const Chunk& chunk) { return t < chunk.Start; });
  outgoing_.insert(later, Chunk{at, std::move(octets)});
  for (size_t i = 1; i < outgoing_.size(); ++i) {
    outgoing_[i].Start = std::max(outgoing_[i].Start, End(outgoing_[i - 1]));
  }
}

PtyServer::Clock::time_point PtyServer::End(const Chunk& chunk) const {
  return chunk.Start + octetTime_ * static_cast<long>(chunk.Octets.size());
}

void PtyServer::WriteDue(Clock::time_point now) {
  while (!outgoing_.empty()) {
    Chunk& chunk = outgoing_.front();
    if (now < chunk.Start) return;
    // An octet reaches the primary once its last bit is on the line.
    size_t due = std::min(chunk.Octets.size(), static_cast<size_t>((now - chunk.Start) / octetTime_));
    if (due > chunk.Sent) {
      // An answer is captured whole as its first octet goes on the line.
      if (!chunk.Captured) {
        capture_.Record(CaptureDirection::kToPrimary, BusCapture::NowUs(), chunk.Octets.data(), chunk.Octets.size());
        chunk.Captured = true;
      }
      ssize_t n = write(master_, chunk.Octets.data() + chunk.Sent, due - chunk.Sent);
      if (n < 0 && errno != EAGAIN && errno != EINTR) n = static_cast<ssize_t>(chunk.Octets.size() - chunk.Sent);
      if (n > 0) chunk.Sent += static_cast<size_t>(n);
    }
    if (chunk.Sent < chunk.Octets.size()) return;
    outgoing_.pop_front();
  }
}

// Until the next octet is due, to the microsecond, so the answer keeps the
// pace of the line rather than of a millisecond timer.
timespec PtyServer::WaitTime(Clock::time_point now) const {
  auto wait = std::chrono::microseconds(100000);
  if (!outgoing_.empty()) {
    const Chunk& chunk = outgoing_.front();
    Clock::time_point next = chunk.Start + octetTime_ * static_cast<long>(chunk.Sent + 1);
    wait =
        next <= now ? std::chrono::microseconds(0) : std::chrono::duration_cast<std::chrono::microseconds>(next - now);
  }
  return timespec{static_cast<time_t>(wait.count() / 1000000), static_cast<long>(wait.count() % 1000000) * 1000};
}

void PtyServer::Log(const char* what, const std::vector<uint8_t>& octets) {
  if (!log_.is_open()) return;
  double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%10.3f ", seconds);
  log_ << stamp << what << ' ' << Hex(octets) << '\n';
  log_.flush();
}
