// How late the main window's event loop runs while the ALDs of a site are
// polled: a timer every 10 ms records by how much each of its runs came
// late. The site (sim/sites/site16.json: 16 ALDs at 9600 baud) is served on
// a pseudo-terminal by the same server aldsim uses; the window scans it,
// then the bus is polled for the measured time, with one ALD powered off
// from a quarter to three quarters of it (its six missed polls, its loss).
//
//   EventLoopLatencyBench [SITE.json] [SECONDS]     (default site16, 120 s)
//
// Targets: p99 at most 50 ms, max at most 250 ms. Runs on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchWindow.h"
#include "ald/AldTable.h"
#include "bus/BusStation.h"
#include "bus/UserMessages.h"
#include "core/Clock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "serial/PortInventory.h"
#include "sim/VirtualBus.h"
#include "ui/DemoBus.h"
#include "ui/MainWindow.h"

namespace {

constexpr int kPeriodMs = 10;

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t at = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
  return values[at];
}

std::string DefaultSite() {
  for (const char* candidate : {"sim/sites/site16.json", "../sim/sites/site16.json"}) {
    if (std::filesystem::exists(candidate)) return candidate;
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  std::string site = argc > 1 ? argv[1] : DefaultSite();
  int seconds = argc > 2 ? std::atoi(argv[2]) : 120;
  DemoBus bus;
  std::string error;
  if (site.empty() || !bus.Start(site, &error)) {
    std::fprintf(stderr, "cannot serve the site '%s': %s\n", site.c_str(), error.c_str());
    return 1;
  }
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tiltdeck-latency-bench";
  std::filesystem::create_directories(dir);
  BenchWindow rig(dir, bus);
  MainWindow* window = &rig.Window();
  AldTable& table = rig.Table();
  BusStation& station = window->Station();
  size_t expected = bus.DeviceCount();
  QElapsedTimer scanTime;
  scanTime.start();
  window->StartScan();
  if (!BenchWindow::RunUntil(
          [&] { return station.List().ListedAldCount() >= expected && station.Control().ScanRequested() == 0; },
          600000)) {
    std::fprintf(stderr, "the scan listed %u of %zu ALDs\n", station.List().ListedAldCount(), expected);
    return 1;
  }
  std::printf("scan: %zu ALDs listed in %.1f s\n", expected, static_cast<double>(scanTime.elapsed()) / 1000.0);

  std::vector<double> lateness;
  QElapsedTimer clock;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(kPeriodMs);
  qint64 last = 0;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    qint64 now = clock.nsecsElapsed();
    lateness.push_back(std::max(0.0, static_cast<double>(now - last) / 1e6 - kPeriodMs));
    last = now;
  });
  auto off = bus.Bus().Find(table.UniqueIdText(expected / 2));
  std::string tracePath = (dir / "trace.txt").string();
  size_t traceStart = std::filesystem::file_size(tracePath);
  clock.start();
  probe.start();
  bool powered = true;
  BenchWindow::RunUntil(
      [&] {
        qint64 ms = clock.elapsed();
        if (off && powered && ms > seconds * 250 && ms < seconds * 750) powered = !bus.Bus().PowerOff(*off);
        if (off && !powered && ms >= seconds * 750) powered = bus.Bus().PowerOn(*off);
        return ms >= seconds * 1000;
      },
      seconds * 1000 + 5000);
  probe.stop();
  std::ifstream file(tracePath);
  std::string trace((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  trace.erase(0, traceStart);
  auto count = [&trace](const std::string& what) {
    size_t n = 0;
    for (size_t at = trace.find(what); at != std::string::npos; at = trace.find(what, at + 1)) ++n;
    return n;
  };
  std::printf("%d s of polling, %zu ALDs, ALD %zu off from %d s to %d s: %zu poll requests, %zu lost\n", seconds,
              expected, expected / 2, seconds / 4, seconds * 3 / 4, count("Polling Request"),
              count("Communication Lost"));
  std::printf("event-loop lateness over %zu runs of a %d ms timer: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
              lateness.size(), kPeriodMs, Percentile(lateness, 0.5), Percentile(lateness, 0.99),
              lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()));
  std::printf("targets: p99 <= 50 ms, max <= 250 ms\n");
  return 0;
}
