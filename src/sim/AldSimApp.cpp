#include "sim/AldSimApp.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>

#include "core/Clock.h"
#include "sim/LinkClaim.h"
#include "sim/PtyServer.h"
#include "sim/SimFaults.h"
#include "sim/SimSite.h"

namespace {

// Signals only write their number here; the main thread does the work.
int signalPipe[2] = {-1, -1};

void OnSignal(int number) {
  int saved = errno;
  auto octet = static_cast<char>(number);
  [[maybe_unused]] ssize_t n = write(signalPipe[1], &octet, 1);
  errno = saved;
}

bool InstallSignals() {
  if (pipe(signalPipe) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGINT, SIGTERM, SIGUSR1}) {
    if (sigaction(number, &action, nullptr) != 0) return false;
  }
  return true;
}

bool ParseNumber(const std::string& text, uint32_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9) return false;
  value = static_cast<uint32_t>(std::stoul(text));
  return true;
}

bool ApplyOption(AldSimApp::Options& options, const std::string& name, const std::string& value) {
  uint32_t number = 0;
  if (name == "--link")
    options.LinkPath = value;
  else if (name == "--site")
    options.SitePath = value;
  else if (name == "--faults")
    options.Faults = value;
  else if (name == "--log")
    options.LogPath = value;
  else if (name == "--capture")
    options.CapturePath = value;
  else if (name == "--write-site")
    options.WriteSitePath = value;
  else if (name == "--baud" && ParseNumber(value, number) && number > 0)
    options.Baud = number;
  else if (name == "--turnaround" && ParseNumber(value, number))
    options.TurnaroundMs = number;
  else if (name == "--collisions" && value == "concat")
    options.Collisions = VirtualBus::Collisions::kConcat;
  else if (name == "--collisions" && value == "garble")
    options.Collisions = VirtualBus::Collisions::kGarble;
  else
    return false;
  return true;
}

// A file that fails while serving is reported once; the devices go on.
bool StartCapture(BusCapture& capture, const std::string& path, std::string* error) {
  std::string why;
  bool started =
      capture.Start(path, &why, [](const std::string& message) { std::cerr << "aldsim: " << message << "\n"; });
  if (!started) *error = "cannot write the capture file '" + path + "': " + why;
  return started;
}

// With --control, every line on standard input is a fault list applied to
// the running bus from that moment (off=DEV@0-5 powers DEV off now and on
// again in 5 s). Each line is answered on standard output with APPLIED or
// ERROR and the reason, so a driving program knows when it took effect.
class ControlInput {
 public:
  explicit ControlInput(VirtualBus& bus) : bus_(bus) {}

  // False once standard input has ended.
  bool ReadSome() {
    char buffer[512];
    ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) return false;
    pending_.append(buffer, static_cast<size_t>(n));
    for (size_t end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
      Apply(pending_.substr(0, end));
      pending_.erase(0, end + 1);
    }
    return true;
  }

 private:
  void Apply(const std::string& line) {
    std::string error;
    std::optional<SimFaults> faults = SimFaults::Parse(line, &error);
    if (!faults) {
      std::cout << "ERROR " << error << std::endl;
      return;
    }
    std::vector<std::string> unknown = bus_.AddFaults(*faults);
    if (!unknown.empty()) {
      std::cout << "ERROR no device " << unknown.front() << " on the bus" << std::endl;
      return;
    }
    std::cout << "APPLIED " << line << std::endl;
  }

  VirtualBus& bus_;
  std::string pending_;
};

}  // namespace

std::string AldSimApp::Usage() {
  return "usage: aldsim [--link PATH] [--site FILE.json] [--baud 9600] [--turnaround MS]\n"
         "              [--collisions concat|garble] [--faults LIST] [--log FILE]\n"
         "              [--capture FILE.pcapng] [--write-site FILE.json] [--control]\n"
         "Serves simulated AISG devices on a pseudo-terminal; PATH (default /tmp/tiltdeck-sim)\n"
         "links to its slave. Prints READY <slave path> when serving. SIGUSR1 prints the\n"
         "state of every device on stderr; SIGINT or SIGTERM ends. --capture writes every\n"
         "frame the devices hear and answer to a pcapng file for Wireshark. --control reads\n"
         "fault lists from standard input while serving, one a line, timed from their\n"
         "arrival, and answers each with APPLIED or ERROR on standard output.\n"
         "A --site name without a slash that is no file here is one of the sites that come\n"
         "with aldsim (demo, site16, site64), read from share/tiltdeck/sites.\n"
         "Faults: comma-separated drop=SHARE fcs=SHARE late=SHARE late-ms=MS seed=N\n"
         "        off=DEV@T1[-T2] stuck=DEV dlfail=DEV:start|end|N alarm=DEV[/SUB]:CODE@T\n";
}

std::optional<AldSimApp::Options> AldSimApp::ParseOptions(const std::vector<std::string>& args, std::string* error) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      options.Help = true;
      continue;
    }
    if (args[i] == "--control") {
      options.Control = true;
      continue;
    }
    bool known = i + 1 < args.size() && ApplyOption(options, args[i], args[i + 1]);
    if (!known) {
      *error = "bad option " + args[i] + (i + 1 < args.size() ? " " + args[i + 1] : "");
      return std::nullopt;
    }
    ++i;
  }
  return options;
}

int AldSimApp::Main(int argc, char** argv) {
  std::string error;
  std::optional<Options> options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options || options->Help) {
    if (!options) std::cerr << "aldsim: " << error << "\n";
    std::cerr << Usage();
    return options ? 0 : 2;
  }
  return Serve(*options);
}

int AldSimApp::Serve(const Options& options) {
  std::string error;
  VirtualBus bus(Clock::System());
  SimSite::BusSettings settings;
  bool loaded = options.SitePath.empty() ? SimSite::FromJson(SimSite::Demo(), bus, settings, &error)
                                         : SimSite::Load(options.SitePath, bus, settings, &error);
  if (!loaded) {
    std::cerr << "aldsim: " << error << "\n";
    return 2;
  }
  settings.Baud = options.Baud.value_or(settings.Baud);
  settings.TurnaroundMs = options.TurnaroundMs.value_or(settings.TurnaroundMs);
  settings.Collisions = options.Collisions.value_or(settings.Collisions);
  bus.SetCollisions(settings.Collisions);
  if (!options.WriteSitePath.empty()) {
    bool saved = SimSite::Save(options.WriteSitePath, bus, settings, &error);
    if (!saved) std::cerr << "aldsim: " << error << "\n";
    return saved ? 0 : 1;
  }
  std::optional<SimFaults> faults = SimFaults::Parse(options.Faults, &error);
  if (!faults) {
    std::cerr << "aldsim: " << error << "\n";
    return 2;
  }
  for (const auto& name : bus.SetFaults(*faults)) std::cerr << "aldsim: no device " << name << " on the bus\n";
  LinkClaim claim;
  if (!options.LinkPath.empty() && !claim.Take(options.LinkPath, &error)) {
    std::cerr << "aldsim: " << error << "\n";
    return 2;
  }
  PtyServer server(bus, {settings.Baud, settings.TurnaroundMs, options.LogPath});
  if (!options.CapturePath.empty() && !StartCapture(server.Capture(), options.CapturePath, &error)) {
    std::cerr << "aldsim: " << error << "\n";
    return 1;
  }
  if (!InstallSignals() || !server.Open(options.LinkPath, &error) || !server.Start(&error)) {
    std::cerr << "aldsim: " << (error.empty() ? "cannot install signal handlers" : error) << "\n";
    return 1;
  }
  std::cout << "READY " << server.SlavePath() << std::endl;
  return WaitForSignals(bus, options.Control);
}

// Waits in poll with a time-out rather than in a bare read: a runtime that
// defers signal handlers to its next intercepted call (ThreadSanitizer does)
// still gets to run them.
int AldSimApp::WaitForSignals(VirtualBus& bus, bool control) {
  ControlInput input(bus);
  pollfd p[2] = {{signalPipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
  for (;;) {
    if (poll(p, control ? 2 : 1, 250) <= 0) continue;
    if (control && p[1].revents != 0) control = input.ReadSome();
    if (p[0].revents == 0) continue;
    char number = 0;
    ssize_t n = read(signalPipe[0], &number, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || number == SIGINT || number == SIGTERM) return 0;
    std::cerr << bus.StateJson().dump(2) << std::endl;
  }
}
