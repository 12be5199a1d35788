// The output pane under a flood of trace lines: a worker thread writes
// 1 000 000 lines through the trace log as fast as it can while the pane
// drains them every 50 ms and its list repaints after every drain, as on
// screen. Prints the lines per second that reach the list, the lines per
// second of time the pane spends draining and painting, and the resident
// memory of the process holding 1 000 000 rows, each with its ratio to the
// target (at least 100 000 lines/s, at most 300 MiB).
//
// Runs on the offscreen platform unless a display is named;
// bin/OutputPaneBench [LINES].

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/TraceLevel.h"
#include "core/TraceLog.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "ui/OutputPane.h"
#include "ui/TraceLineModel.h"
#include "ui/TraceRowFilter.h"

namespace {

constexpr double kTargetLinesPerSecond = 100000;
constexpr double kTargetMiB = 300;

double StatusMiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::strtod(line.c_str() + std::strlen(field), nullptr) / 1024.0;
  }
  return 0;
}

// A polling day's mix: port octets, frames, polls and procedure lines for
// 16 ALDs.
void WriteLines(TraceLog& log, int count) {
  static const uint8_t kFrame[] = {0x7E, 0x03, 0x10, 0x81, 0x05, 0x00, 0x01, 0x02, 0x03, 0x04, 0xA1, 0xB2, 0x7E};
  std::string dump = TraceLog::HexDump(kFrame, sizeof kFrame);
  for (int i = 0; i < count; ++i) {
    auto ald = static_cast<uint8_t>(i % 16 + 1);
    switch (i % 5) {
      case 0: log.Write(kTraceInfo, TraceClass::kComm, ald, "TX[%.2d] %s", 13, dump.c_str()); break;
      case 1: log.Write(kTraceInfo, TraceClass::kComm, ald, "RX[%.2d] %s", 13, dump.c_str()); break;
      case 2: log.Write(kTraceInfo, TraceClass::kHdlc, ald, "HDLC RR frame received, N(R)=%d", i % 8); break;
      case 3: log.Write(kTraceInfo, TraceClass::kPoll, ald, "Polling ALD #%d", ald); break;
      default:
        log.Write(kTraceWarning, TraceClass::kAisg, ald, "Response: '%s', Result: '%s'", "AlarmIndication", "OK");
    }
  }
}

void PrintRatio(const char* what, double value, const char* unit, double target, bool atLeast) {
  double ratio = atLeast ? value / target : target / value;
  std::printf("%-44s %12.0f %-7s target %s %.0f  ratio %.2f %s\n", what, value, unit, atLeast ? ">=" : "<=", target,
              ratio, ratio >= 1 ? "(met)" : "(MISSED)");
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;

  std::string folder = (std::filesystem::temp_directory_path() / "tiltdeck-bench-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 1;
  double baseMiB = 0;
  {
    TraceLog log(folder + "/trace.txt");
    MemoryProfileStore store;
    Settings settings(store, log);
    OutputPane pane(log, settings);
    pane.resize(1280, 400);
    pane.show();
    app.processEvents();
    baseMiB = StatusMiB("VmRSS:");

    std::atomic<bool> written{false};
    double busyMs = 0;
    int drains = 0;
    QElapsedTimer wall;
    wall.start();
    std::thread writer([&] {
      WriteLines(log, lines);
      written = true;
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      QElapsedTimer busy;
      busy.start();
      pane.Drain();
      pane.View()->viewport()->repaint();
      busyMs += static_cast<double>(busy.nsecsElapsed()) / 1e6;
      ++drains;
      if (written && pane.Model().rowCount() >= lines) app.quit();
    });
    tick.start(50);
    app.exec();
    double wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    writer.join();

    double rssMiB = StatusMiB("VmRSS:");
    std::printf("rows %d in %d drains, %.0f ms wall, %.0f ms in drain and paint\n", pane.Model().rowCount(), drains,
                wallMs, busyMs);
    PrintRatio("lines/s written, drained and shown", lines / (wallMs / 1000), "lines/s", kTargetLinesPerSecond, true);
    PrintRatio("lines/s of pane time (drain + repaint)", lines / (busyMs / 1000), "lines/s", kTargetLinesPerSecond,
               true);
    PrintRatio("resident memory with all rows", rssMiB, "MiB", kTargetMiB, false);
    std::printf("%-44s %12.0f MiB (pane before the lines %.0f MiB, peak %.0f MiB)\n", "of which the rows",
                rssMiB - baseMiB, baseMiB, StatusMiB("VmHWM:"));

    // What one quiet tick costs once the list is long: 100 new lines.
    WriteLines(log, 100);
    QElapsedTimer small;
    small.start();
    pane.Drain();
    pane.View()->viewport()->repaint();
    std::printf("one drain of 100 lines onto %d rows: %.2f ms\n", pane.Model().rowCount(),
                static_cast<double>(small.nsecsElapsed()) / 1e6);

    QElapsedTimer filter;
    filter.start();
    TraceRowFilter hideComm;
    hideComm.ShownClasses &= ~2u;
    pane.Model().SetFilter(hideComm);
    double hideMs = static_cast<double>(filter.nsecsElapsed()) / 1e6;
    int left = pane.Model().rowCount();
    filter.restart();
    pane.Model().SetFilter(TraceRowFilter());
    std::printf("filter change over all rows: hide COMM %.1f ms (%d rows left), show all %.1f ms\n", hideMs, left,
                static_cast<double>(filter.nsecsElapsed()) / 1e6);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
