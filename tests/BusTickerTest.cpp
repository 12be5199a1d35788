#include "ScriptedHdlc.h"
#include "StationFixture.h"

using TickerTest = StationTest;

TEST_F(TickerTest, StartAndStopScanTraceTheirRequests) {
  control.StopScan();
  EXPECT_TRUE(Traced("WRN"));
  EXPECT_TRUE(Traced("Scan is not running"));
  control.StartScan();
  control.StartScan();
  EXPECT_EQ(control.ScanRequested(), 1);
  EXPECT_EQ(TraceCount("Start Scan"), 1u);
  EXPECT_TRUE(Traced("Scan is already running"));
  control.StopScan();
  EXPECT_TRUE(Traced("Stop Scan"));
  EXPECT_TRUE(Traced("Scan stopped"));
  EXPECT_EQ(control.ScanRequested(), 0);
  EXPECT_FALSE(station.Worker().ServeRequest());
}

TEST_F(TickerTest, StatusPaneFollowsTheScan) {
  AddDevices({Device("singleRet", "KA0000000001")});
  control.StartScan();
  ticker.OnTimerTick();
  EXPECT_EQ(view.status, (std::vector<std::string>{"Scan Started"}));
  bool ticked = false;
  link.onWrite = [&] {
    if (!ticked) ticker.OnTimerTick();
    ticked = true;
  };
  EXPECT_TRUE(station.Worker().ServeRequest());
  link.onWrite = nullptr;
  EXPECT_EQ(view.status, (std::vector<std::string>{"Scan Started", "Scan in progress"}));
  EXPECT_EQ(control.ScanRequested(), 0);
  ticker.OnTimerTick();
  EXPECT_EQ(view.LastStatus(), "");
}

TEST_F(TickerTest, RowsOfTheFoundAldsAreAddedAtTheNextTick) {
  AddDevices(
      {Device("singleRet", "AA0000000001"), Device("singleRet", "BB0000000002"), Device("singleRet", "CC0000000003")});
  engine.Run();
  EXPECT_TRUE(view.keys.empty());
  ForgetTrace();
  ticker.OnTimerTick();
  EXPECT_EQ(view.keys, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(TraceCount("Adding ALD"), 3u);
  EXPECT_TRUE(Traced("MAIN 003 Adding ALD"));
  EXPECT_EQ(view.contents[1].UniqueId, "BB0000000002");
  EXPECT_EQ(view.contents[1].Icon, 1);
  EXPECT_EQ(view.contents[1].Tilt, "ERROR");  // no tilt read yet
  EXPECT_EQ(view.properties[2].Status, "CONNECTED");
  EXPECT_EQ(view.properties[2].Type, "Single RET");
  EXPECT_EQ(view.properties[2].Version, "2.0");
  EXPECT_EQ(windows.CountOf("OpenWindow 3"), 1u);
  EXPECT_EQ(windows.CountOf("RefreshAllSubunits"), 3u);
  EXPECT_EQ(view.documentRefreshes, 1);
  EXPECT_EQ(view.activations, 1);
  EXPECT_EQ(engine.ReportedCount(), 0);
  // Nothing new: the next ticks add nothing.
  Ticks(3);
  EXPECT_EQ(view.keys.size(), 3u);
  EXPECT_EQ(view.documentRefreshes, 1);
}

// A multi RET and a TMA list a row per subunit; the ALD found later still
// gets its own slot number as its key, not the row count.
TEST_F(TickerTest, SubunitRowsKeepRowsAndSlotsApart) {
  AddSite(SimSite::Demo());
  ScanAndList();
  std::map<uint8_t, int> rowsOfSlot;
  for (size_t row = 0; row < station.List().RowCount(); ++row) {
    AldListModel::Row r = station.List().RowAt(row);
    ++rowsOfSlot[r.Slot];
    std::string key = r.Subunit == 0 ? std::to_string(r.Slot) : Format("%u.%u", r.Slot, r.Subunit);
    EXPECT_EQ(view.keys.at(row), key);
  }
  for (unsigned slot = 1; slot <= 5; ++slot) {
    uint8_t type = table.Record(slot).DeviceType;
    int expected = type == kAldMultiRet ? 3 : type == kAldTma ? 2 : 1;
    EXPECT_EQ(rowsOfSlot[static_cast<uint8_t>(slot)], expected) << slot;
    EXPECT_EQ(table.Record(slot).SubunitCount, expected) << slot;
  }
  EXPECT_EQ(view.keys.size(), 8u);
  AddDevices({Device("singleRet", "NK0000000099")});
  ScanAndList();
  EXPECT_EQ(view.keys.back(), "6");
  EXPECT_EQ(table.UniqueIdText(6), "NK0000000099");
  EXPECT_EQ(windows.CountOf("OpenWindow 6"), 1u);
  EXPECT_EQ(station.List().ListedAldCount(), 6u);
  EXPECT_EQ(station.List().FirstRowOf(6), 8);
  EXPECT_EQ(station.List().FindRow(6, 0), 8);
}

TEST_F(TickerTest, PollStartsEveryFortyOneTicks) {
  AddDevices({Device("singleRet", "AA0000000001"), Device("singleRet", "BB0000000002")});
  ScanAndList();  // the first tick
  ForgetTrace();
  Ticks(39);
  EXPECT_FALSE(Traced("Polling Request"));
  Ticks(1);
  EXPECT_EQ(TraceCount("Polling Request"), 2u);
  EXPECT_TRUE(Traced("POLL 001 Polling Request"));
  Ticks(40);
  EXPECT_EQ(TraceCount("Polling Request"), 2u);
  Ticks(1);
  EXPECT_EQ(TraceCount("Polling Request"), 4u);
}

TEST_F(TickerTest, NoAutomaticPollWhenSwitchedOffRequestedOrEmpty) {
  Ticks(41);
  EXPECT_FALSE(Traced("No ALD to poll!"));
  AddDevices({Device("singleRet", "AA0000000001")});
  ScanAndList();
  pollOptions.EnablePolling = 0;
  Ticks(41);
  pollOptions = {1, 0};
  Ticks(41);
  pollOptions = {1, 1};
  control.StartScan();
  Ticks(41);
  EXPECT_FALSE(Traced("Polling Request"));
  control.StopScan();
  Ticks(41);
  EXPECT_TRUE(Traced("Polling Request"));
}

// The Poll ALD command asks for a poll whatever the options say; with an
// empty list the poll warns.
TEST_F(TickerTest, PollCommandWarnsOnAnEmptyList) {
  pollOptions.EnablePolling = 0;
  EXPECT_TRUE(ticker.RequestPoll());
  EXPECT_FALSE(Traced("No ALD to poll!"));
  EXPECT_TRUE(worker.ServePoll());
  EXPECT_TRUE(Traced("WRN"));
  EXPECT_TRUE(Traced("No ALD to poll!"));
}

// Busy and switched-off ALDs cost nothing; one not yet connected costs the
// 20 ms pause only; a connected one is polled.
TEST_F(TickerTest, PollAllSkipsBusyOffDisconnectedAndUnconnectedAlds) {
  AddDevices(ManyRets(5));
  ScanAndList();
  table.Record(1).Busy = 1;
  table.Record(2).PollingEnabled = 0;
  table.Record(3).State = kStateDiscovered;
  table.Record(5).State = kStateDisconnected;
  ForgetTrace();
  uint64_t before = clock.NowMs();
  uint64_t exchanges = link.exchanges;
  poller.PollAll(station.List().RowCount());
  EXPECT_EQ(TraceCount("Polling Request"), 1u);
  EXPECT_TRUE(Traced("POLL 004 Polling Request"));
  EXPECT_EQ(link.exchanges - exchanges, 1u);
  EXPECT_EQ(clock.NowMs() - before, 40u);
}

TEST_F(TickerTest, PollDoesNothingWhileAScanRuns) {
  AddDevices({Device("singleRet", "AA0000000001")});
  ScanAndList();
  ForgetTrace();
  engine.Arm();
  poller.PollAll(station.List().RowCount());
  EXPECT_FALSE(Traced("Polling Request"));
  EXPECT_FALSE(Traced("No ALD to poll!"));
}

TEST_F(TickerTest, AlarmIndicationsAreTracedAndShown) {
  AddDevices({Device("singleRet", "AA0000000001"), Device("multiRet", "BB0000000002", 3)});
  ScanAndList();
  ASSERT_EQ(table.Record(2).DeviceType, kAldMultiRet);
  EXPECT_EQ(layer7.AlarmSubscribe(1), kSuccess);
  EXPECT_EQ(layer7.AlarmSubscribe(2), kSuccess);
  bus.RaiseAlarm(DeviceIn(1), 1, 0x14);
  bus.RaiseAlarm(DeviceIn(2), 2, 0x02);
  ForgetTrace();
  windows.Forget();
  PollNow();
  EXPECT_TRUE(TracedAt("ERR", "MAIN 001 Alarm 'Position Lost' changed to 1")) << Trace();
  EXPECT_TRUE(TracedAt("ERR", "MAIN 002 [Sub: 2] Alarm 'Actuator Jam Permanent' changed to 1")) << Trace();
  EXPECT_EQ(windows.Calls(),
            (std::vector<std::string>{"ShowAlarmText Position Lost", "ShowAlarmText Actuator Jam Permanent"}));
  ForgetTrace();
  PollNow();
  EXPECT_FALSE(Traced("changed to"));
}

TEST_F(TickerTest, LostDeviceIsDeclaredAtTheSixthFailedPollAndThenLeftAlone) {
  AddDevices({Device("singleRet", "AA0000000001"), Device("singleRet", "BB0000000002")});
  ScanAndList();
  bus.PowerOff(DeviceIn(2));
  for (int i = 0; i < 5; ++i) PollNow();
  EXPECT_EQ(table.Record(2).State, kStateConnected);
  EXPECT_FALSE(Traced("Device lost polling"));
  EXPECT_EQ(view.contents.at(1).Icon, 1);
  poller.PollAll(station.List().RowCount());
  EXPECT_EQ(table.Record(2).State, kStateDisconnected);
  EXPECT_TRUE(Traced("HDLC 002 Device lost polling"));
  EXPECT_TRUE(Traced("HDLC 002 Communication Lost"));
  EXPECT_EQ(table.Record(1).State, kStateConnected);
  // Its row and its status show the loss once the tick has shown what the
  // poll posted; the other ALD's row stays as it was.
  EXPECT_EQ(view.contents.at(1).Icon, 1);
  int fills = view.fills;
  ticker.OnTimerTick();
  EXPECT_EQ(view.contents.at(1).Icon, 3);
  EXPECT_EQ(view.properties[2].Status, "DISCONNECTED");
  EXPECT_EQ(view.contents.at(0).Icon, 1);
  EXPECT_EQ(view.fills, fills + 1);
  ForgetTrace();
  PollNow();
  EXPECT_EQ(TraceCount("Polling Request"), 1u);
}

// A reconnected ALD starts with a clean count: one poll answer lost right
// after its reconnection does not lose it again.
TEST_F(TickerTest, ReconnectedAldSurvivesOneLostPollAnswer) {
  AddDevices({Device("singleRet", "AA0000000001"), Device("singleRet", "BB0000000002")});
  ScanAndList();
  bus.PowerOff(DeviceIn(2));
  for (int i = 0; i < 6; ++i) PollNow();
  ASSERT_EQ(table.Record(2).State, kStateDisconnected);
  bus.PowerOn(DeviceIn(2));
  engine.Run();
  ticker.OnTimerTick();
  ASSERT_EQ(table.Record(2).State, kStateConnected);
  EXPECT_EQ(table.Record(2).MissedPolls, 0);
  auto left = std::make_shared<int>(1);
  link.answerFault = [left](const std::vector<uint8_t>& content) {
    bool pollOfTwo = content.size() == 2 && content[0] == 2 && (content[1] & 0x0F) == 0x01;
    if (!pollOfTwo || *left == 0) return SimHdlc::AnswerFault::kNone;
    --*left;
    return SimHdlc::AnswerFault::kLost;
  };
  ForgetTrace();
  PollNow();
  ASSERT_EQ(*left, 0);
  EXPECT_EQ(table.Record(2).State, kStateConnected);
  EXPECT_FALSE(Traced("Device lost polling"));
  PollNow();
  EXPECT_EQ(table.Record(2).MissedPolls, 0);
}

TEST_F(TickerTest, PortFailureInAPollIsReportedAndThePollingGoesOn) {
  AddDevices({Device("singleRet", "AA0000000001")});
  ScanAndList();
  link.unplugged = true;
  poller.PollAll(station.List().RowCount());
  EXPECT_TRUE(Traced("Serial port failure during the alarm poll"));
  ASSERT_EQ(messages.All().size(), 1u);
  EXPECT_EQ(messages.All()[0].Title, "Serial port");
  EXPECT_EQ(messages.All()[0].Kind, UserMessages::Icon::kError);
  link.unplugged = false;
  ForgetTrace();
  poller.PollAll(station.List().RowCount());
  EXPECT_TRUE(Traced("Polling Request"));
  EXPECT_FALSE(Traced("Serial port failure"));
}

TEST_F(TickerTest, PortFailureWhileListingAddsEveryRowAndReportsOnce) {
  AddDevices({Device("singleRet", "AA0000000001"), Device("singleRet", "BB0000000002")});
  engine.Run();
  link.unplugged = true;
  ticker.OnTimerTick();
  EXPECT_EQ(view.keys, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(messages.All().size(), 1u);
  EXPECT_TRUE(Traced("Serial port failure during adding the ALDs found"));
}

// The poll's report of one list with several changes, with a scripted link
// so that one indication carries two of them.
class ScriptedPollTest : public ::testing::Test {
 protected:
  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  FakeClock clock;
  ScriptedHdlc link{log, table};
  AisgLayer7 layer7{link, table, log, clock};
  RecordingView view;
  RecordingWindows windows;
  RecordingMessages messages;
  BusStation station{layer7, BusUi{view, windows, messages}, nullptr, nullptr};

  void SetUp() override {
    for (uint8_t slot = 1; slot <= 2; ++slot) {
      AldRecord r;
      r.UniqueId[0] = 'A';
      r.UniqueId[1] = static_cast<char>('0' + slot);
      r.UniqueIdLength = 2;
      table.Insert(r);
      table.Record(slot).Address = slot;
      table.Record(slot).State = kStateConnected;
      table.Record(slot).DeviceType = kAldSingleRet;
    }
  }
};

TEST_F(ScriptedPollTest, OnlyTheAldWithChangesReportsThem) {
  // ALD 1: Single Ret Alarm Indication with (0x02, 1) and (0x14, 0).
  link.AnswerFrame(Hex("01 10 07 04 00 02 01 14 00"));
  link.AnswerFrame(Hex("02 11"));  // ALD 2: nothing to send
  station.Poller().PollAll(0);
  station.UiWork().Drain();
  std::string trace = log.TakePending();
  EXPECT_NE(trace.find("MAIN 001 Alarm 'Actuator Jam Permanent' changed to 1"), std::string::npos) << trace;
  EXPECT_NE(trace.find("MAIN 001 Alarm 'Position Lost' changed to 0"), std::string::npos);
  EXPECT_EQ(trace.find("MAIN 002 Alarm"), std::string::npos);
  EXPECT_EQ(windows.Calls(),
            (std::vector<std::string>{"ShowAlarmText Actuator Jam Permanent", "ShowAlarmText Position Lost"}));
  EXPECT_EQ(link.written.size(), 2u);
}

TEST_F(ScriptedPollTest, AnIFrameOfAnotherProcedureReportsNothing) {
  link.AnswerFrame(Hex("01 10 05 01 00 00"));  // a Get Info response
  link.AnswerFrame(Hex("02 11"));
  station.Poller().PollAll(0);
  station.UiWork().Drain();
  std::string trace = log.TakePending();
  EXPECT_EQ(trace.find("changed to"), std::string::npos) << trace;
  EXPECT_TRUE(windows.Calls().empty());
}
