#include <chrono>
#include <thread>

#include "StationFixture.h"
#include "YieldClock.h"
#include "core/MessagePump.h"

namespace {

// Waits, giving the processor away, until done() or a generous deadline.
template <class F>
bool Eventually(F done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

}  // namespace

class WorkerTest : public StationTest {
 protected:
  YieldClock idle;
  BusWorker worker{engine, control, station.Failures(), idle};

  void TearDown() override { worker.Stop(); }

  static std::vector<json> MoreRets(int count) {
    std::vector<json> devices;
    for (int i = 0; i < count; ++i) devices.push_back(Device("singleRet", Format("NK%02d7%010d", i, 4242 + 11 * i)));
    return devices;
  }
};

TEST_F(WorkerTest, ServesARequestOnceAndClearsIt) {
  AddDevices({Device("singleRet", "KA0000000001")});
  EXPECT_FALSE(worker.ServeRequest());
  control.StartScan();
  EXPECT_TRUE(worker.ServeRequest());
  EXPECT_EQ(control.ScanRequested(), 0);
  EXPECT_FALSE(worker.ServeRequest());
  EXPECT_EQ(TraceCount("Scan Started"), 1u);
}

// Stop Scan right after the worker took the request: the scan that starts
// is already stopped and sends nothing.
TEST_F(WorkerTest, StopBetweenTakingTheRequestAndRunningEndsTheScan) {
  AddDevices({Device("singleRet", "KA0000000001")});
  control.StartScan();
  ASSERT_TRUE(control.TakeRequest());
  EXPECT_TRUE(engine.IsRunning());
  control.StopScan();
  uint64_t exchanges = link.exchanges;
  engine.RunArmed();
  control.ScanEnded();
  EXPECT_EQ(link.exchanges, exchanges);
  EXPECT_EQ(table.AldCount(), 0u);
  EXPECT_EQ(control.ScanRequested(), 0);
}

// A Start Scan made while a stopped scan winds down is not lost when that
// scan ends.
TEST_F(WorkerTest, NewRequestDuringTheWindDownSurvives) {
  control.StartScan();
  ASSERT_TRUE(control.TakeRequest());
  control.StopScan();
  control.StartScan();
  EXPECT_EQ(TraceCount("Start Scan"), 2u);
  engine.RunArmed();
  control.ScanEnded();
  EXPECT_EQ(control.ScanRequested(), 1);
  EXPECT_TRUE(worker.ServeRequest());
  EXPECT_EQ(control.ScanRequested(), 0);
}

TEST_F(WorkerTest, ThreadRunsTheRequestedScanAndStops) {
  worker.Start();
  ASSERT_TRUE(Eventually([&] { return worker.Started(); }));
  AddDevices(ManyRets(6));
  control.StartScan();
  ASSERT_TRUE(Eventually([&] { return control.ScanRequested() == 0; }));
  ticker.OnTimerTick();
  EXPECT_EQ(view.keys.size(), 6u);
  ExpectAllConnected(6);
}

// A user interface installs its pump hook on its own thread. The worker's
// scan calls PumpMessages between the steps of every ALD it brings up, and
// the hook must not run there: it would process window events on the
// worker thread.
TEST_F(WorkerTest, PumpHookRunsOnlyOnTheThreadThatInstalledIt) {
  std::atomic<int> pumped{0};
  SetPumpMessagesHook([&] { ++pumped; });
  AddDevices(ManyRets(3));
  worker.Start();
  control.StartScan();
  ASSERT_TRUE(Eventually([&] { return control.ScanRequested() == 0; }));
  worker.Stop();
  ExpectAllConnected(3);
  EXPECT_EQ(pumped, 0);
  PumpMessages();
  EXPECT_EQ(pumped, 1);
  SetPumpMessagesHook(nullptr);
  PumpMessages();
  EXPECT_EQ(pumped, 1);
}

// The user-interface thread keeps ticking, polling and running commands on
// the ALDs it knows while the worker scans for more.
TEST_F(WorkerTest, CommandsAndPollsRunWhileTheWorkerScans) {
  AddDevices(ManyRets(4));
  ScanAndList();
  AddDevices(MoreRets(12));
  worker.Start();
  control.StartScan();
  int rounds = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (control.ScanRequested() == 1 && std::chrono::steady_clock::now() < deadline) {
    ticker.OnTimerTick();
    poller.PollAll();
    table.SelectAld(1);
    aldOps.RefreshAlarms();
    EXPECT_EQ(commands.ConnectSelected(), kSuccess);
    ++rounds;
  }
  ASSERT_EQ(control.ScanRequested(), 0);
  ticker.OnTimerTick();
  EXPECT_GT(rounds, 0);
  ExpectAllConnected(16);
  EXPECT_EQ(view.keys.size(), 16u);
  EXPECT_EQ(view.keys.back(), "16");
}

TEST_F(WorkerTest, PortFailureEndsTheScanNotTheThread) {
  AddDevices(ManyRets(3));
  link.onWrite = [this] {
    if (table.AldCount() == 1) link.unplugged = true;
  };
  worker.Start();
  control.StartScan();
  ASSERT_TRUE(Eventually([&] { return control.ScanRequested() == 0; }));
  EXPECT_TRUE(Traced("Serial port failure during the bus scan"));
  ASSERT_EQ(messages.All().size(), 1u);
  EXPECT_EQ(messages.All()[0].Title, "Serial port");
  EXPECT_FALSE(engine.IsRunning());
  worker.Stop();
  link.onWrite = nullptr;
  link.unplugged = false;
  worker.Start();
  control.StartScan();
  ASSERT_TRUE(Eventually([&] { return control.ScanRequested() == 0; }));
  EXPECT_EQ(table.AldCount(), 3u);
}

// The reset waits for the scan to end before its request goes out: an ALD
// addressed after it would be lost to the next scan.
TEST_F(WorkerTest, BroadcastResetDuringAScanWaitsForItsEnd) {
  AddDevices(ManyRets(8));
  std::atomic<bool> reached{false};
  std::atomic<bool> released{false};
  link.onWrite = [&] {
    if (link.exchanges == 12 && !reached) {
      reached = true;
      while (!released) std::this_thread::yield();
    }
  };
  worker.Start();
  control.StartScan();
  ASSERT_TRUE(Eventually([&] { return reached.load(); }));
  std::thread ui([&] { commands.BroadcastReset(); });
  ASSERT_TRUE(Eventually([&] { return windows.CountOf("CloseAll") == 1; }));
  released = true;
  ui.join();
  ASSERT_TRUE(Eventually([&] { return control.ScanRequested() == 0; }));
  worker.Stop();
  EXPECT_EQ(table.AldCount(), 0u);
  EXPECT_FALSE(engine.IsRunning());
  std::vector<std::vector<uint8_t>> frames = link.Frames();
  EXPECT_EQ(ToHex(frames.back()), "FF BF 81 F0 02 07 00");
  link.onWrite = nullptr;
  control.StartScan();
  EXPECT_TRUE(worker.ServeRequest());
  ExpectAllConnected(8);
}

// Start Scan was pressed just before the bus reset, and the worker looks
// while the reset is under way: it must not take the request, or it would
// address the devices just reset against the table about to be emptied.
TEST_F(WorkerTest, BroadcastResetCancelsAPendingScanAndHoldsTheWorkerOff) {
  AddDevices(ManyRets(3));
  ScanAndList();
  control.StartScan();
  bool looked = false;
  view.onHide = [&] {
    if (looked) return;
    looked = true;
    worker.Start();
    // Two looks of the worker: the first has run to its end.
    ASSERT_TRUE(Eventually([&] { return idle.NowMs() >= 2 * BusWorker::kLookIntervalMs; }));
  };
  commands.BroadcastReset();
  view.onHide = nullptr;
  ASSERT_TRUE(looked);
  EXPECT_EQ(control.ScanRequested(), 0);
  EXPECT_EQ(TraceCount("Scan Started"), 1u);
  EXPECT_EQ(table.AldCount(), 0u);
  control.StartScan();
  ASSERT_TRUE(Eventually([&] { return control.ScanRequested() == 0; }));
  ExpectAllConnected(3);
}

// A Start Scan made while the reset runs (its waits let the user interface
// work) is kept and served once the reset is done.
TEST_F(WorkerTest, RequestMadeDuringAHoldRunsAfterIt) {
  AddDevices({Device("singleRet", "KA0000000001")});
  control.HoldScans();
  control.StartScan();
  EXPECT_FALSE(worker.ServeRequest());
  EXPECT_EQ(control.ScanRequested(), 1);
  control.ReleaseScans();
  EXPECT_TRUE(worker.ServeRequest());
  ExpectAllConnected(1);
}
