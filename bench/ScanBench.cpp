// Scan, poll and firmware download times over a pseudo-terminal served by
// aldsim at 9600 baud, against the least time the same exchanges need on
// the wire, with fast exchanges off ("exact") and on ("fast").
//
// For every exchange the bound counts the request and answer octets at 10
// bit times each, the device's turnaround, and how the read ended: 50 ms of
// silence after an answer that silence ended, the guard time after an
// answer that ended with its frame, or the 418 ms a read waits when nothing
// answers; to that come the waits the bus logic itself makes. The ratio
// measured / bound says how much the program adds on top of the line. The
// measured time is split into the time inside exchanges (from a request's
// write to the end of the read that took its answer) and the time between
// them (the program's own work, the guard time and the bus logic's waits).
//
// aldsim holds each answer for the line time of the request it answers, as
// the wire does, and its devices here answer without a turnaround pause, so
// all the line time is in the bound. A read that nothing answers starts its 418 ms as soon as the
// request is handed to the port, while the request is still on the line, so
// the last two columns also give the bound without the line time of the
// unanswered requests: the least time the exchanges can take at all.
//
// Run from the build directory (bin/ScanBench) or give aldsim's path as the
// first argument; a second argument such as 1,4,16 picks the site sizes
// scanned (16 is always polled and 1 always downloads to), a third the
// size of the firmware image (65536 octets).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ald/AldTable.h"
#include "bus/BusStation.h"
#include "cli/CliUi.h"
#include "core/Format.h"
#include "core/SystemClock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"

extern char** environ;

namespace {

constexpr double kBaud = 9600;
constexpr double kOctetMs = 10 * 1000.0 / kBaud;
constexpr double kSilenceMs = 50;
constexpr double kNoAnswerMs = 418;
constexpr int kTurnaroundMs = 0;
constexpr size_t kFirmwareOctets = 65536;

// The line's own cost of what went over it, and the waits on the clock.
struct WireCount {
  uint64_t Exchanges = 0;
  uint64_t Unanswered = 0;
  uint64_t EndedWithFrame = 0;
  double GuardMs = 0;
  uint64_t Sent = 0;
  uint64_t SentUnanswered = 0;
  uint64_t Received = 0;
  uint32_t LastSent = 0;
  double WaitMs = 0;
  // From each request's write to the end of the last read for its answer;
  // the rest of the measured time is spent between exchanges.
  double ExchangeMs = 0;
  std::chrono::steady_clock::time_point Mark;

  double BoundMs() const {
    uint64_t answered = Exchanges - Unanswered;
    return (Sent + Received) * kOctetMs + answered * kTurnaroundMs + (answered - EndedWithFrame) * kSilenceMs +
           EndedWithFrame * GuardMs + Unanswered * kNoAnswerMs + WaitMs;
  }
  double OverlapBoundMs() const { return BoundMs() - SentUnanswered * kOctetMs; }
};

class CountingHdlc : public AisgHdlc {
 public:
  using AisgHdlc::AisgHdlc;
  uint32_t Write(const uint8_t* data, uint32_t length) override {
    ++count.Exchanges;
    count.Sent += length;
    count.LastSent = length;
    count.Mark = std::chrono::steady_clock::now();
    return AisgHdlc::Write(data, length);
  }
  uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
    uint32_t n = AisgHdlc::Read(buffer, capacity);
    auto now = std::chrono::steady_clock::now();
    count.ExchangeMs += std::chrono::duration<double, std::milli>(now - count.Mark).count();
    count.Mark = now;
    count.Received += n;
    if (AnswerCompletedAt()) ++count.EndedWithFrame;
    if (n == 0) {
      ++count.Unanswered;
      count.SentUnanswered += count.LastSent;
    }
    return n;
  }
  WireCount count;
};

class CountingClock : public SystemClock {
 public:
  explicit CountingClock(WireCount& count) : count_(count) {}
  void SleepMs(uint32_t ms) override {
    count_.WaitMs += ms;
    SystemClock::SleepMs(ms);
  }

 private:
  WireCount& count_;
};

class PrintedMessages : public UserMessages {
 public:
  void ShowMessage(const std::string& title, const std::string& text, Icon) override {
    std::fprintf(stderr, "message: %s: %s\n", title.c_str(), text.c_str());
  }
};

// aldsim serving a site of single RETs of six vendors.
class Aldsim {
 public:
  Aldsim(const std::string& program, const std::filesystem::path& dir, int devices) {
    std::filesystem::path site = dir / Format("site%d.json", devices);
    std::ofstream(site) << Site(devices).dump();
    std::string link = (dir / Format("bus%d", devices)).string();
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {program, "--link", link, "--site", site.string(), "--baud", "9600"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("cannot start " + program);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line = ReadLine(out[0]);
    close(out[0]);
    if (line.rfind("READY ", 0) != 0) throw std::runtime_error("aldsim did not get ready: " + line);
    path_ = line.substr(6);
  }
  ~Aldsim() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  const std::string& Path() const { return path_; }

 private:
  static nlohmann::json Site(int devices) {
    static const char* const kVendors[] = {"KA", "AN", "CS", "RF", "ZT", "HW"};
    nlohmann::json list = nlohmann::json::array();
    for (int i = 0; i < devices; ++i) {
      std::string id = std::string(kVendors[i % 6]) + Format("%04d80%07d", 17 * i % 1000, 1234500 + 37 * i);
      list.push_back({{"type", "singleRet"}, {"uniqueId", id}, {"subunits", {{{"calibrated", true}}}}});
    }
    return {{"bus", {{"baud", 9600}, {"turnaroundMs", kTurnaroundMs}, {"collisions", "garble"}}}, {"devices", list}};
  }
  static std::string ReadLine(int fd) {
    std::string line;
    char c;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 10000) > 0 && read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }

  pid_t pid_ = -1;
  std::string path_;
};

// One primary station on the port, with its own trace file and counters.
struct Station {
  Station(const std::filesystem::path& dir, const std::string& port, bool fast)
      : log((dir / "trace.txt").string()), table(log), link(log, table), clock(link.count) {
    link.SetExchangeTiming(fast, AisgHdlc::kDefaultGuardMs);
    link.count.GuardMs = std::max<double>(AisgHdlc::kDefaultGuardMs, 3 * kOctetMs);
    link.ConfigurePort(port, 9600);
    if (!AisgSerial::IsOpen()) throw std::runtime_error("cannot open " + port + ": " + AisgSerial::LastError());
  }
  ~Station() { link.Close(); }

  TraceLog log;
  AldTable table;
  CountingHdlc link;
  CountingClock clock;
  AisgLayer7 layer7{link, table, log, clock};
  CliUi quiet;  // no list or device window to update
  PrintedMessages messages;
  BusStation bus{layer7, BusUi{quiet, quiet, messages}, nullptr, nullptr};
};

// Measured and bound times of every row, by what was run and on how many
// devices, for the comparison of the two modes.
struct Timing {
  double MeasuredMs;
  double BoundMs;
};
using Timings = std::map<std::pair<std::string, int>, Timing>;

template <class F>
void Measure(const char* mode, const char* what, int devices, Station& s, Timings& timings, F run) {
  double guardMs = s.link.count.GuardMs;
  s.link.count = WireCount();
  s.link.count.GuardMs = guardMs;
  auto start = std::chrono::steady_clock::now();
  run();
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const WireCount& c = s.link.count;
  std::printf("%-5s %-8s %4d %9llu %7llu %11.0f %10.0f %6.3f %10.0f %6.3f %9.0f %9.0f\n", mode, what, devices,
              static_cast<unsigned long long>(c.Exchanges), static_cast<unsigned long long>(c.Unanswered), ms,
              c.BoundMs(), ms / c.BoundMs(), c.OverlapBoundMs(), ms / c.OverlapBoundMs(), c.ExchangeMs,
              ms - c.ExchangeMs);
  std::fflush(stdout);
  timings[{what, devices}] = {ms, c.BoundMs()};
}

// A firmware image with a good checksum, so that nothing but the transfer is
// measured.
std::vector<uint8_t> FirmwareImage(size_t octets) {
  std::vector<uint8_t> image(octets);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  return image;
}

std::vector<int> SiteSizes(int argc, char** argv) {
  if (argc <= 2) return {1, 4, 16, 64};
  std::vector<int> sizes;
  std::string list = argv[2];
  for (size_t at = 0; at < list.size();) {
    size_t comma = list.find(',', at);
    if (comma == std::string::npos) comma = list.size();
    sizes.push_back(std::stoi(list.substr(at, comma - at)));
    at = comma + 1;
  }
  return sizes;
}

struct Options {
  std::string Aldsim;
  std::vector<int> Sizes;
  size_t FirmwareOctets;
};

Timings RunMode(const Options& options, const std::filesystem::path& dir, bool fast) {
  const std::string& program = options.Aldsim;
  const char* mode = fast ? "fast" : "exact";
  Timings timings;
  for (int devices : options.Sizes) {
    Aldsim sim(program, dir, devices);
    Station s(dir, sim.Path(), fast);
    Measure(mode, "scan", devices, s, timings, [&] { s.bus.Engine().Run(); });
    if (s.table.AldCount() != static_cast<unsigned>(devices)) {
      std::fprintf(stderr, "scan of %d devices found %u\n", devices, s.table.AldCount());
    }
    if (devices != 16) continue;
    s.bus.Ticker().OnTimerTick();  // lists them
    Measure(mode, "poll", devices, s, timings, [&] { s.bus.Poller().PollAll(s.bus.List().RowCount()); });
  }
  Aldsim sim(program, dir, 1);
  Station s(dir, sim.Path(), fast);
  s.bus.Engine().Run();
  std::vector<uint8_t> image = FirmwareImage(options.FirmwareOctets);
  ResultCode result = kSuccess;
  Measure(mode, "download", 1, s, timings, [&] { result = s.layer7.TransferFirmware(1, image.data(), image.size()); });
  if (result != kSuccess) std::fprintf(stderr, "%s download failed: %d\n", mode, static_cast<int>(result));
  return timings;
}

// The machine's load average, and how late a sleeping thread wakes on it:
// every exchange waits on the line several times, and each wait ends that
// much after its time, so on a busy machine these add to the measured times.
void PrintMachine(const char* when) {
  std::ifstream loadFile("/proc/loadavg");
  std::string load;
  std::getline(loadFile, load);
  constexpr int kProbes = 100;
  double lateMs = 0;
  for (int i = 0; i < kProbes; ++i) {
    auto start = std::chrono::steady_clock::now();
    poll(nullptr, 0, 2);
    lateMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() - 2;
  }
  std::printf("# %s: load %s, a 2 ms sleep wakes %.2f ms late on average\n", when, load.c_str(), lateMs / kProbes);
  std::fflush(stdout);
}

// How much faster each row ran with fast exchanges, and how much faster its
// bound allows it to be.
void PrintSpeedUps(const Timings& exact, const Timings& fast) {
  std::printf("\n%-8s %4s %9s %9s\n", "what", "alds", "speed-up", "bound");
  for (const auto& [row, e] : exact) {
    auto f = fast.find(row);
    if (f == fast.end()) continue;
    std::printf("%-8s %4d %9.3f %9.3f\n", row.first.c_str(), row.second, e.MeasuredMs / f->second.MeasuredMs,
                e.BoundMs / f->second.BoundMs);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  options.Aldsim = argc > 1 ? argv[1] : (std::filesystem::path(argv[0]).parent_path() / "aldsim").string();
  options.Sizes = SiteSizes(argc, argv);
  options.FirmwareOctets = argc > 3 ? std::stoul(argv[3]) : kFirmwareOctets;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / Format("tiltdeck-bench-%d", getpid());
  std::filesystem::create_directories(dir);
  std::printf("%-5s %-8s %4s %9s %7s %11s %10s %6s %10s %6s %9s %9s\n", "mode", "what", "alds", "exchanges", "silent",
              "measured ms", "bound ms", "ratio", "overlap ms", "ratio", "in xchg", "between");
  PrintMachine("before");
  Timings exact = RunMode(options, dir, false);
  PrintMachine("between the modes");
  Timings fast = RunMode(options, dir, true);
  PrintMachine("after");
  PrintSpeedUps(exact, fast);
  std::filesystem::remove_all(dir);
  return 0;
}
