#pragma once

#include <QAction>
#include <QTest>
#include <chrono>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FakePortInventory.h"
#include "RecordingMessages.h"
#include "RecordingView.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "core/Clock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "persist/FileChooser.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "ui/MainWindow.h"

// Paces the worker's once-a-second look in a few milliseconds of real
// time, so a requested scan starts at once; bus waits keep the real clock.
class ShortClock : public Clock {
 public:
  uint64_t NowMs() const override { return Clock::System().NowMs(); }
  void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms < 5 ? ms : 5)); }
};

// A file choice the test makes in advance; nothing means "cancelled".
class ScriptedFiles : public FileChooser {
 public:
  std::optional<std::string> ChooseSaveFile(const std::string& /*defaultSuffix*/,
                                            const std::vector<std::string>& /*filters*/) override {
    return answer;
  }
  std::optional<std::string> answer;
};

// A main window over objects of its own: trace file in a scratch folder,
// settings and layout in memory, messages recorded, no real adapter. Every
// BusView call is also recorded in view.
class MainWindowRig {
 public:
  // port: opened for this run (as --port does); the settings name
  // settingsPort.
  explicit MainWindowRig(const std::string& port, const std::string& settingsPort = "/dev/tiltdeck-test-none")
      : port_(port) {
    store.WriteString("ComPort", settingsPort);
  }
  ~MainWindowRig() { Close(); }

  MainWindow& Open(int tickMs = 50) {
    MainWindow::Environment env{log, [this] { return MakeBus(); }, messages, ports, layoutStore, nullptr, {}, {}, 50};
    env.WorkerClock = &workerClock;
    env.PortOverride = port_;
    env.SimulatedBus = simulated;
    env.TimerIntervalMs = tickMs;
    env.Files = &files;
    window = std::make_unique<MainWindow>(env);
    window->SetViewTap(&view);
    return *window;
  }
  // Closes the window as the user does, then destroys it and the bus side.
  void Close() {
    if (!window) return;
    window->close();
    window.reset();
    layer7.reset();
    link.reset();
    settings.reset();
  }

  QAction* Action(int command) { return window->Action(command); }
  void Trigger(int command) { Action(command)->trigger(); }

  // Everything traced so far, from the trace file: the output pane takes
  // the pending lines on its own tick.
  const std::string& Trace() {
    traced_ = ReadFile(dir.File("trace.txt"));
    return traced_;
  }
  bool Traced(const std::string& what) { return Trace().find(what) != std::string::npos; }
  bool TracedAt(const std::string& level, const std::string& what) {
    std::istringstream lines(Trace());
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(level + " ", 0) == 0 && line.find(what) != std::string::npos) return true;
    }
    return false;
  }
  size_t Position(const std::string& what) { return Trace().find(what); }
  size_t Count(const std::string& what) {
    size_t n = 0;
    for (size_t at = Trace().find(what); at != std::string::npos; at = Trace().find(what, at + 1)) ++n;
    return n;
  }

  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  MemoryProfileStore store;
  MemoryProfileStore layoutStore;
  FakePortInventory ports;
  RecordingMessages messages;
  ScriptedFiles files;
  RecordingView view;
  ShortClock workerClock;
  std::string simulated;
  std::unique_ptr<AisgHdlc> link;
  std::unique_ptr<AisgLayer7> layer7;
  std::unique_ptr<Settings> settings;
  std::unique_ptr<MainWindow> window;

 private:
  // As the application makes them: the link (which searches for the
  // adapter), then the settings, then layer 7.
  MainWindow::BusParts MakeBus() {
    AdapterDetector search(log, ports);
    link = std::make_unique<AisgHdlc>(log, table, &search);
    settings = std::make_unique<Settings>(store, log);
    settings->Load(search);
    layer7 = std::make_unique<AisgLayer7>(*link, table, log, Clock::System());
    return {table, *layer7, *settings};
  }

  std::string port_;
  std::string traced_;
};
