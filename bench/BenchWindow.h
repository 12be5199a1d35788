#pragma once

// The main window over a simulated bus on a pseudo-terminal, with the bus
// side's objects of its own, for the benchmarks that time the window's
// event loop. Message boxes are printed instead of shown.

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ald/AldTable.h"
#include "bus/UserMessages.h"
#include "core/Clock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "serial/AdapterDetector.h"
#include "serial/PortInventory.h"
#include "ui/DemoBus.h"
#include "ui/MainWindow.h"

class BenchWindow {
 public:
  // The trace goes to trace.txt in dir; the window is shown on the bus.
  BenchWindow(const std::filesystem::path& dir, DemoBus& bus)
      : log_((dir / "trace.txt").string()),
        table_(log_),
        env_{log_, [this] { return MakeBus(); }, messages_, ports_, layout_, nullptr, bus.PortPath(), bus.Description(),
             50} {
    window_ = std::make_unique<MainWindow>(env_);
    window_->show();
  }

  MainWindow& Window() { return *window_; }
  AldTable& Table() { return table_; }
  AisgLayer7& Layer7() { return *layer7_; }

  // Runs the event loop until done() or the time-out; returns whether done.
  template <class F>
  static bool RunUntil(F done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
      if (clock.elapsed() > timeoutMs) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
  }

 private:
  class NoPorts : public PortInventory {
   public:
    bool QueryEntities(std::vector<PortEntity>&, std::string&) override { return true; }
    std::vector<std::string> ExistingPorts() override { return {}; }
  };

  class PrintedMessages : public UserMessages {
   public:
    void ShowMessage(const std::string&, const std::string& text, Icon) override {
      std::fprintf(stderr, "message: %s\n", text.c_str());
    }
  };

  MainWindow::BusParts MakeBus() {
    AdapterDetector search(log_, ports_);
    link_ = std::make_unique<AisgHdlc>(log_, table_, &search);
    settings_ = std::make_unique<Settings>(store_, log_);
    settings_->Load(search);
    layer7_ = std::make_unique<AisgLayer7>(*link_, table_, log_, Clock::System());
    return {table_, *layer7_, *settings_};
  }

  TraceLog log_;
  AldTable table_;
  MemoryProfileStore store_, layout_;
  NoPorts ports_;
  PrintedMessages messages_;
  std::unique_ptr<AisgHdlc> link_;
  std::unique_ptr<Settings> settings_;
  std::unique_ptr<AisgLayer7> layer7_;
  MainWindow::Environment env_;
  std::unique_ptr<MainWindow> window_;
};
