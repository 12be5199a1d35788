#include <chrono>
#include <sstream>
#include <thread>

#include "StationFixture.h"
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
  void TearDown() override { worker.Stop(); }

  // Waits until the poll that was asked for has run on the worker.
  bool PollDone() {
    return Eventually([&] { return !station.Polls().InFlight(); });
  }

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
    ticker.RequestPoll();
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

// The tick that starts a poll only asks for it: the worker polls, and the
// alarm change it hears reaches the device window through the next tick.
TEST_F(WorkerTest, PollRunsOnTheWorkerAndItsAlarmReachesTheWindowThroughTheTick) {
  AddDevices({Device("singleRet", "AA0000000001"), Device("multiRet", "BB0000000002", 3)});
  ScanAndList();  // the first tick
  ASSERT_EQ(layer7.AlarmSubscribe(2), kSuccess);
  bus.RaiseAlarm(DeviceIn(2), 2, 0x02);
  const std::thread::id self = std::this_thread::get_id();
  std::atomic<int> here{0};
  std::atomic<int> there{0};
  link.onWrite = [&] { ++(std::this_thread::get_id() == self ? here : there); };
  windows.Forget();
  ForgetTrace();
  for (int i = 0; i < BusTicker::kTicksPerPoll - 1; ++i) ticker.OnTimerTick();
  EXPECT_TRUE(station.Polls().InFlight());
  EXPECT_EQ(here, 0);
  EXPECT_FALSE(Traced("Polling Request"));
  worker.Start();
  ASSERT_TRUE(PollDone());
  EXPECT_EQ(there, 2);
  EXPECT_TRUE(Traced("MAIN 002 [Sub: 2] Alarm 'Actuator Jam Permanent' changed to 1")) << Trace();
  EXPECT_TRUE(windows.Calls().empty());
  ticker.OnTimerTick();
  EXPECT_EQ(windows.Calls(), (std::vector<std::string>{"ShowAlarmText Actuator Jam Permanent"}));
  ticker.OnTimerTick();
  EXPECT_EQ(windows.Calls().size(), 1u);
  EXPECT_EQ(here, 0);
  worker.Stop();
}

// No poll is asked for while one is under way, and the ticks wait for its
// end before they count towards the next: a poll starts 41 ticks after the
// last one ended.
TEST_F(WorkerTest, TicksCountFromTheEndOfThePoll) {
  AddDevices({Device("singleRet", "AA0000000001")});
  ScanAndList();  // the first tick
  ForgetTrace();
  for (int i = 0; i < BusTicker::kTicksPerPoll - 1; ++i) ticker.OnTimerTick();
  EXPECT_TRUE(station.Polls().InFlight());
  EXPECT_FALSE(ticker.RequestPoll());
  for (int i = 0; i < 3 * BusTicker::kTicksPerPoll; ++i) ticker.OnTimerTick();
  EXPECT_TRUE(worker.ServePoll());
  EXPECT_FALSE(worker.ServePoll());
  EXPECT_EQ(TraceCount("Polling Request"), 1u);
  Ticks(BusTicker::kTicksPerPoll - 1);
  EXPECT_EQ(TraceCount("Polling Request"), 1u);
  Ticks(1);
  EXPECT_EQ(TraceCount("Polling Request"), 2u);
}

// Polls asked for while the worker scans wait for the scan's end: no poll
// line falls between the scan's first and last line.
TEST_F(WorkerTest, ScanAndPollNeverOverlap) {
  AddDevices(ManyRets(4));
  ScanAndList();
  AddDevices(MoreRets(12));
  ForgetTrace();
  worker.Start();
  ASSERT_TRUE(ticker.RequestPoll());
  control.StartScan();
  int asked = 1;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (control.ScanRequested() == 1 && std::chrono::steady_clock::now() < deadline) {
    asked += ticker.RequestPoll() ? 1 : 0;
    ticker.OnTimerTick();
  }
  ASSERT_EQ(control.ScanRequested(), 0);
  ASSERT_TRUE(PollDone());
  ASSERT_TRUE(ticker.RequestPoll());
  ASSERT_TRUE(PollDone());
  worker.Stop();
  std::istringstream lines(Trace());
  bool scanning = false;
  int scans = 0;
  size_t pollsDuringScan = 0;
  size_t polls = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Scan Started") != std::string::npos) {
      scanning = true;
      ++scans;
    }
    if (line.find("Found: [") != std::string::npos) scanning = false;
    if (line.find("Polling Request") != std::string::npos) ++(scanning ? pollsDuringScan : polls);
  }
  EXPECT_EQ(scans, 1);
  EXPECT_EQ(pollsDuringScan, 0u);
  EXPECT_GE(polls, 4u * 2);  // the poll asked for first, and the one after the scan
  ticker.OnTimerTick();
  ExpectAllConnected(16);
}

// Shutdown during a poll ends it after the ALD it is polling.
TEST_F(WorkerTest, StopDuringAPollEndsIt) {
  AddDevices(ManyRets(6));
  ScanAndList();
  std::atomic<bool> reached{false};
  link.onWrite = [&] {
    if (reached.exchange(true)) return;
    while (!station.Polls().EndAsked()) std::this_thread::yield();
  };
  ForgetTrace();
  worker.Start();
  ASSERT_TRUE(ticker.RequestPoll());
  ASSERT_TRUE(Eventually([&] { return reached.load(); }));
  worker.Stop();
  link.onWrite = nullptr;
  EXPECT_EQ(TraceCount("Polling Request"), 1u);
  EXPECT_FALSE(station.Polls().InFlight());
  // Started again, the worker polls every ALD.
  worker.Start();
  ASSERT_TRUE(ticker.RequestPoll());
  ASSERT_TRUE(PollDone());
  worker.Stop();
  EXPECT_EQ(TraceCount("Polling Request"), 1u + 6);
}

// The bus reset waits for the poll to end before its request goes out, and
// drops what the poll had left for the windows it closes.
TEST_F(WorkerTest, BroadcastResetDuringAPollEndsItFirst) {
  AddDevices(ManyRets(6));
  ScanAndList();
  ASSERT_EQ(layer7.AlarmSubscribe(1), kSuccess);
  bus.RaiseAlarm(DeviceIn(1), 1, 0x14);
  std::atomic<int> polled{0};
  link.onWrite = [&] {
    if (++polled != 2) return;
    while (!station.Polls().EndAsked()) std::this_thread::yield();
  };
  ForgetTrace();
  windows.Forget();
  worker.Start();
  ASSERT_TRUE(ticker.RequestPoll());
  ASSERT_TRUE(Eventually([&] { return polled.load() >= 2; }));
  commands.BroadcastReset();
  EXPECT_FALSE(station.Polls().InFlight());
  EXPECT_EQ(TraceCount("Polling Request"), 2u);
  EXPECT_TRUE(Traced("Alarm 'Position Lost' changed to 1"));
  EXPECT_EQ(ToHex(link.Frames().back()), "FF BF 81 F0 02 07 00");
  EXPECT_EQ(table.AldCount(), 0u);
  ticker.OnTimerTick();
  EXPECT_EQ(windows.Calls(), (std::vector<std::string>{"CloseAll"}));
  // Polls go on after the reset.
  EXPECT_TRUE(ticker.RequestPoll());
  ASSERT_TRUE(PollDone());
  EXPECT_TRUE(Traced("No ALD to poll!"));
  worker.Stop();
  link.onWrite = nullptr;
}

// A port failure during a poll is reported from the worker, which goes on
// serving polls and scans.
TEST_F(WorkerTest, PortFailureDuringAPollIsReportedAndTheWorkerGoesOn) {
  AddDevices({Device("singleRet", "AA0000000001")});
  ScanAndList();
  worker.Start();
  link.unplugged = true;
  ASSERT_TRUE(ticker.RequestPoll());
  ASSERT_TRUE(PollDone());
  EXPECT_TRUE(Traced("Serial port failure during the alarm poll"));
  ASSERT_EQ(messages.All().size(), 1u);
  EXPECT_EQ(messages.All()[0].Title, "Serial port");
  link.unplugged = false;
  ForgetTrace();
  ASSERT_TRUE(ticker.RequestPoll());
  ASSERT_TRUE(PollDone());
  EXPECT_TRUE(Traced("POLL 001 Polling Request"));
  AddDevices({Device("singleRet", "BB0000000002")});
  control.StartScan();
  ASSERT_TRUE(Eventually([&] { return control.ScanRequested() == 0; }));
  worker.Stop();
  EXPECT_EQ(messages.All().size(), 1u);
  ExpectAllConnected(2);
}

// On the real clock the worker sleeps between its looks; a poll request
// and Stop wake it.
TEST_F(WorkerTest, RealTimeWorkerWakesForAPollAndForStop) {
  AddDevices({Device("singleRet", "AA0000000001")});
  ScanAndList();
  ForgetTrace();
  BusWorker real{engine, control, station.Polls(), poller, station.Failures(), Clock::System()};
  real.Start();
  ASSERT_TRUE(Eventually([&] { return real.Started(); }));
  ASSERT_TRUE(ticker.RequestPoll());
  ASSERT_TRUE(PollDone());
  real.Stop();
  EXPECT_TRUE(Traced("POLL 001 Polling Request"));
}
