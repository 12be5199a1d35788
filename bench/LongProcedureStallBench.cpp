// How long the main window's event loop stalls while a long procedure runs
// on the user-interface thread: a calibration (the device answers after
// its calibration time, polled once a second) and a 64 KiB firmware
// download, on a single RET served at 9600 baud on a pseudo-terminal by the
// same server aldsim uses. A timer every 10 ms records the longest gap
// between its runs while each procedure runs.
//
//   LongProcedureStallBench [CALIBRATION_SECONDS] [IMAGE_OCTETS]   (default 20 s, 65536)
//
// Target: the longest stall at most 500 ms (one unanswered exchange).
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "BenchWindow.h"
#include "ald/AldTable.h"
#include "bus/BusStation.h"
#include "bus/UserMessages.h"
#include "core/Clock.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "serial/PortInventory.h"
#include "ui/DemoBus.h"
#include "ui/MainWindow.h"
#include "ui/ProcedureProgress.h"

namespace {

constexpr int kPeriodMs = 10;

std::string WriteSite(const std::filesystem::path& dir, int calibrationSeconds) {
  nlohmann::json site = {{"bus", {{"baud", 9600}, {"turnaroundMs", 3}}},
                         {"devices",
                          {{{"type", "singleRet"},
                            {"uniqueId", "KA0000801234560"},
                            {"timing", {{"calibrationMs", calibrationSeconds * 1000}}},
                            {"subunits", {{{"calibrated", true}}}}}}}};
  std::string path = (dir / "stall-site.json").string();
  std::ofstream(path) << site.dump(2);
  return path;
}

// The longest gap between runs of a 10 ms timer while f runs inside the
// event loop, as a command started from a button would.
template <class F>
double LongestStallMs(F f) {
  QElapsedTimer clock;
  qint64 last = 0;
  double longest = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  probe.setInterval(kPeriodMs);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, static_cast<double>(now - last) / 1e6);
    last = now;
  });
  bool done = false;
  QTimer::singleShot(50, [&] {
    f();
    done = true;
  });
  clock.start();
  probe.start();
  BenchWindow::RunUntil([&] { return done; }, 3600 * 1000);
  probe.stop();
  // The gap that ends after the procedure counts too.
  longest = std::max(longest, static_cast<double>(clock.nsecsElapsed() - last) / 1e6 - kPeriodMs);
  return longest;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  int calibrationSeconds = argc > 1 ? std::atoi(argv[1]) : 20;
  size_t imageOctets = argc > 2 ? static_cast<size_t>(std::atol(argv[2])) : 65536;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tiltdeck-stall-bench";
  std::filesystem::create_directories(dir);
  DemoBus bus;
  std::string error;
  if (!bus.Start(WriteSite(dir, calibrationSeconds), &error)) {
    std::fprintf(stderr, "cannot serve the site: %s\n", error.c_str());
    return 1;
  }
  BenchWindow rig(dir, bus);
  MainWindow* window = &rig.Window();
  AldTable& table = rig.Table();
  AisgLayer7* layer7 = &rig.Layer7();
  SetPumpMessagesHook([] { QCoreApplication::processEvents(); });
  BusStation& station = window->Station();
  window->StartScan();
  if (!BenchWindow::RunUntil(
          [&] { return station.List().ListedAldCount() >= 1 && station.Control().ScanRequested() == 0; }, 120000)) {
    std::fprintf(stderr, "the scan listed no ALD\n");
    return 1;
  }
  // What the window shows meanwhile.
  ProcedureProgress strip;
  strip.Attach(*layer7);
  strip.show();
  table.SelectAld(1);
  ResultCode calibrated = kSuccess;
  QElapsedTimer took;
  took.start();
  double calibrationStall = LongestStallMs([&] { calibrated = layer7->RetCalibrate(1); });
  double calibrationS = static_cast<double>(took.restart()) / 1000.0;
  std::vector<uint8_t> image(imageOctets);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13);
  ResultCode downloaded = kSuccess;
  double downloadStall = LongestStallMs([&] { downloaded = layer7->TransferFirmware(1, image.data(), image.size()); });
  double downloadS = static_cast<double>(took.elapsed()) / 1000.0;
  std::printf("calibration (%d s on the device): result %d in %.1f s, longest event-loop stall %.0f ms\n",
              calibrationSeconds, calibrated, calibrationS, calibrationStall);
  std::printf("firmware download of %zu octets at 9600 baud: result %d in %.1f s, longest event-loop stall %.0f ms\n",
              image.size(), downloaded, downloadS, downloadStall);
  std::printf("target: longest stall <= 500 ms\n");
  SetPumpMessagesHook(nullptr);
  return calibrated == kSuccess && downloaded == kSuccess ? 0 : 1;
}
