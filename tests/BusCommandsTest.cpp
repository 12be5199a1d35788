#include "StationFixture.h"

// Slots follow the first characters: AA in 1, BB in 2, CC in 3.
class CommandsTest : public StationTest {
 protected:
  void ListThree(const std::string& second = "singleRet", int subunits = 1) {
    AddDevices({Device("singleRet", "AA0000000001"), Device(second, "BB0000000002", subunits),
                Device("tma", "CC0000000003", 2)});
    ScanAndList();
    ForgetTrace();
    windows.Forget();
  }
  std::vector<std::string> FramesSince(size_t first) {
    std::vector<std::vector<uint8_t>> frames = link.Frames();
    std::vector<std::string> out;
    for (size_t i = first; i < frames.size(); ++i) out.push_back(ToHex(frames[i]));
    return out;
  }
};

TEST_F(CommandsTest, BroadcastResetForgetsEveryAldAndTheNextScanFindsThemAgain) {
  ListThree();
  table.SelectAld(2);
  size_t sent = link.Frames().size();
  commands.BroadcastReset();
  EXPECT_EQ(windows.Calls().front(), "CloseAll");
  EXPECT_TRUE(Traced("MAIN ... Broadcast reset request"));
  EXPECT_EQ(FramesSince(sent), (std::vector<std::string>{"FF BF 81 F0 02 07 00"}));
  EXPECT_EQ(view.hidden, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(view.shown.empty());
  EXPECT_TRUE(view.keys.empty());
  EXPECT_EQ(view.clears, 1);
  EXPECT_EQ(table.CurrentAldIndex(), AldTable::kNoSelection);
  EXPECT_EQ(table.AldCount(), 0u);
  EXPECT_EQ(ticker.LastFoundCount(), 0);
  EXPECT_FALSE(engine.IsRunning());
  ScanAndList();
  ExpectAllConnected(3);
  EXPECT_EQ(view.keys, (std::vector<std::string>{"1", "2", "3.1", "3.2"}));
}

TEST_F(CommandsTest, BroadcastResetGoesOnWhenAGroupCannotBeHidden) {
  ListThree();
  view.failHide = true;
  commands.BroadcastReset();
  EXPECT_EQ(view.hidden.size(), 3u);
  EXPECT_EQ(table.AldCount(), 0u);
  EXPECT_TRUE(messages.All().empty());
}

TEST_F(CommandsTest, LinkStepsNeedASelection) {
  ListThree();
  table.SelectAld(AldTable::kNoSelection);
  size_t sent = link.Frames().size();
  EXPECT_EQ(commands.AssignSelected(), kInvalidState);
  EXPECT_EQ(commands.VersionSelected(), kInvalidState);
  EXPECT_EQ(commands.ConnectSelected(), kInvalidState);
  EXPECT_EQ(commands.DisconnectSelected(), kInvalidState);
  EXPECT_EQ(link.Frames().size(), sent);
  EXPECT_EQ(TraceCount("WRN"), 4u);
  EXPECT_EQ(TraceCount("MAIN ... You must select a device first!"), 4u);
}

TEST_F(CommandsTest, AssignSendsFiveRequestsAndMarksASilentAldDisconnected) {
  ListThree();
  table.SelectAld(1);
  size_t sent = link.Frames().size();
  uint64_t before = clock.NowMs();
  EXPECT_EQ(commands.AssignSelected(), kSuccess);
  EXPECT_EQ(link.Frames().size() - sent, 5u);
  EXPECT_EQ(clock.NowMs() - before, 500u);
  EXPECT_TRUE(Traced("MAIN ... Assigning ALD's addresses"));
  EXPECT_EQ(table.Record(1).State, kStateAddressed);
  bus.PowerOff(DeviceIn(1));
  EXPECT_EQ(commands.AssignSelected(), kTimeout);
  EXPECT_EQ(table.Record(1).State, kStateDisconnected);
}

TEST_F(CommandsTest, VersionConnectAndDisconnectTraceAndRefreshTheAld) {
  ListThree();
  table.SelectAld(2);
  EXPECT_EQ(commands.VersionSelected(), kSuccess);
  EXPECT_TRUE(Traced("MAIN 002 Getting ALD's version"));
  EXPECT_EQ(commands.DisconnectSelected(), kSuccess);
  EXPECT_TRUE(Traced("MAIN 002 Disconnecting ALD's"));
  EXPECT_EQ(table.Record(2).State, kStateDisconnected);
  EXPECT_EQ(view.properties[2].Status, "DISCONNECTED");
  EXPECT_EQ(view.contents[1].Icon, 3);
  EXPECT_EQ(commands.ConnectSelected(), kSuccess);
  EXPECT_TRUE(Traced("MAIN 002 Connecting ALD's"));
  EXPECT_EQ(table.Record(2).State, kStateConnected);
  EXPECT_EQ(view.properties[2].Status, "CONNECTED");
  EXPECT_EQ(view.contents[1].Icon, 1);
}

TEST_F(CommandsTest, ReaddressBringsBackARestartedDeviceAndRefreshesItsWindow) {
  ListThree();
  table.SelectAld(1);
  PowerCycle(1);
  EXPECT_EQ(commands.ReaddressSelected(), kSuccess);
  EXPECT_EQ(table.Record(1).State, kStateConnected);
  EXPECT_EQ(windows.CountOf("RefreshAld"), 1u);
  bus.PowerOff(DeviceIn(1));
  EXPECT_EQ(commands.ReaddressSelected(), kTimeout);
  EXPECT_EQ(windows.CountOf("RefreshAld"), 1u);
}

TEST_F(CommandsTest, CalibrateAllRunsEveryRetAndAntennaAndSkipsTheTma) {
  ListThree("multiRet", 3);
  ASSERT_EQ(table.Record(2).SubunitCount, 3);
  commands.CalibrateAllRets();
  EXPECT_TRUE(Traced("MAIN ... Calibrate all RETs"));
  EXPECT_EQ(TraceCount("[Sub: -] Calibrating"), 1u);
  EXPECT_TRUE(Traced("MAIN 001 [Sub: -] Calibration Done Success"));
  for (int s = 1; s <= 3; ++s) {
    EXPECT_TRUE(Traced(Format("MAIN 002 [Sub: %d] Calibrating", s)));
    EXPECT_TRUE(Traced(Format("MAIN 002 [Sub: %d] Calibration Done Success", s)));
  }
  EXPECT_FALSE(Traced("MAIN 003 [Sub"));
  EXPECT_EQ(TraceCount("Handling Command: 'Single Ret Calibrate'"), 1u);
  EXPECT_EQ(TraceCount("Handling Command: 'Multi Ret Calibrate'"), 3u);
  EXPECT_EQ(view.selectedEntries, (std::vector<uint8_t>{1, 2, 2, 2}));
  EXPECT_EQ(windows.CountOf("EnableRetTab 0"), 1u);
  EXPECT_EQ(windows.CountOf("EnableRetTab 1"), 1u);
  EXPECT_EQ(windows.CountOf("GetAlarms"), 4u);
  EXPECT_EQ(view.toolbarRefreshes, 1);
  EXPECT_EQ(table.Record(2).State, kStateCalibrating);  // set back by the next alarm read
}

TEST_F(CommandsTest, RefreshAlarmsSetsTheStateFromTheAlarmRead) {
  ListThree();
  table.SelectAld(AldTable::kNoSelection);
  aldOps.RefreshAlarms();
  EXPECT_TRUE(Traced("WRN"));
  EXPECT_TRUE(Traced("You must select a device first!"));
  EXPECT_TRUE(windows.Calls().empty());

  table.SelectAld(1);
  aldOps.RefreshAlarms();
  EXPECT_EQ(windows.Calls(), (std::vector<std::string>{"ShowResult Success", "ShowAlarmStatus None normal"}));
  EXPECT_EQ(table.Record(1).State, kStateConnected);

  windows.Forget();
  bus.RaiseAlarm(DeviceIn(1), 1, 0x14);
  aldOps.RefreshAlarms();
  EXPECT_EQ(windows.Calls(),
            (std::vector<std::string>{"ShowResult Position Lost", "ShowAlarmStatus Position Lost red"}));
  EXPECT_EQ(table.Record(1).State, kStateAlarmed);
  EXPECT_EQ(view.contents[0].Icon, 0);
}

// A device that does not answer is not alarmed: the state stays, and the
// alarm box says why the read failed instead of showing a stale alarm.
TEST_F(CommandsTest, RefreshAlarmsOfASilentAldLeavesItsState) {
  ListThree();
  table.SelectAld(1);
  table.Record(1).Subunits[0].Alarms.AlarmCodes[0] = 29;
  bus.PowerOff(DeviceIn(1));
  aldOps.RefreshAlarms();
  EXPECT_EQ(windows.Calls(), (std::vector<std::string>{"ShowResult Timeout", "ShowAlarmStatus Timeout red"}));
  EXPECT_EQ(table.Record(1).State, kStateConnected);
}

TEST_F(CommandsTest, MenuCommandsNeedASelectionAndAConnectedAld) {
  ListThree();
  table.SelectAld(AldTable::kNoSelection);
  uint64_t exchanges = link.exchanges;
  aldOps.GetAlarmsSelected();
  aldOps.SoftwareResetSelected();
  aldOps.ClearAllSelected();
  aldOps.SubscribeAlarmsSelected();
  EXPECT_EQ(messages.Texts(), std::vector<std::string>(4, "No devices present. Please click scan"));
  EXPECT_EQ(link.exchanges, exchanges);
  EXPECT_TRUE(windows.Calls().empty());

  table.SelectAld(2);
  table.Record(2).State = kStateDisconnected;
  aldOps.GetAlarmsSelected();
  aldOps.ClearAlarmsSelected();
  EXPECT_TRUE(windows.Calls().empty());
  aldOps.SoftwareResetSelected();
  EXPECT_EQ(messages.Texts().back(), "ALD#2 is disconnected");
  EXPECT_EQ(messages.Texts().size(), 7u);
  EXPECT_EQ(windows.CountOf("ResetDevice"), 0u);
  EXPECT_EQ(windows.CountOf("ShowResult Success"), 1u);  // the alarm refresh still runs
}

TEST_F(CommandsTest, MenuCommandsRunTheirOperationThenRefreshTheAlarms) {
  ListThree();
  table.SelectAld(1);
  aldOps.SoftwareResetSelected();
  aldOps.SelfTestSelected();
  aldOps.GetAllSelected();
  aldOps.GetAlarmsSelected();
  EXPECT_EQ(windows.Calls(),
            (std::vector<std::string>{"ResetDevice", "ShowResult Success", "ShowAlarmStatus None normal",  //
                                      "SelfTest", "ShowResult Success", "ShowAlarmStatus None normal",     //
                                      "GetAll", "ShowResult Success", "ShowAlarmStatus None normal",       //
                                      "ShowResult Success", "ShowAlarmStatus None normal", "GetAlarms"}));
  aldOps.SubscribeAlarmsSelected();
  bus.WithDevice(DeviceIn(1), [](SimAld& d) { EXPECT_TRUE(d.Subscribed()); });
  aldOps.ClearAllSelected();
  EXPECT_EQ(windows.Calls().back(), "ClearDisplay");
}

TEST_F(CommandsTest, ClearAlarmsEmptiesTheBoxesAndTheRefreshFindsNoAlarm) {
  ListThree();
  table.SelectAld(1);
  bus.RaiseAlarm(DeviceIn(1), 1, 0x03);
  aldOps.RefreshAlarms();
  ASSERT_EQ(table.Record(1).State, kStateAlarmed);
  windows.Forget();
  aldOps.ClearAlarmsSelected();
  EXPECT_EQ(windows.Calls(),
            (std::vector<std::string>{"ClearAlarmBoxes", "ShowResult Success", "ShowAlarmStatus None normal"}));
  EXPECT_EQ(table.Record(1).State, kStateConnected);
}

TEST_F(CommandsTest, ReconnectOfAConnectedAldSendsNothing) {
  ListThree();
  table.SelectAld(3);
  uint64_t exchanges = link.exchanges;
  commands.ReconnectSelected();
  EXPECT_EQ(link.exchanges, exchanges);
  EXPECT_TRUE(Traced("MAIN 003 ALD is already connected"));
  EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"ALD#3 is already connected"}));
  table.SelectAld(AldTable::kNoSelection);
  commands.ReconnectSelected();
  EXPECT_EQ(messages.Texts().back(), "No devices present. Please click scan");
}

TEST_F(CommandsTest, ReconnectBringsBackALostAld) {
  ListThree();
  table.SelectAld(2);
  PowerCycle(2);
  table.Record(2).State = kStateDisconnected;
  uint64_t before = clock.NowMs();
  commands.ReconnectSelected();
  EXPECT_EQ(clock.NowMs() - before, 3000u);
  EXPECT_EQ(table.Record(2).State, kStateConnected);
  EXPECT_EQ(windows.Calls(), (std::vector<std::string>{"RefreshAllSubunits", "EnableCommands 2 1"}));
  EXPECT_TRUE(Traced("MAIN 002 Reconnected Successfully"));
  EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Reconnected ALD#2 Successfully"}));
}

TEST_F(CommandsTest, ReconnectOfADeviceThatStaysOffFails) {
  ListThree();
  table.SelectAld(2);
  bus.PowerOff(DeviceIn(2));
  table.Record(2).State = kStateDisconnected;
  commands.ReconnectSelected();
  EXPECT_EQ(table.Record(2).State, kStateDisconnected);
  EXPECT_TRUE(Traced("MAIN 002 Unable to reconnect"));
  EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Unable to reconnect"}));
  EXPECT_TRUE(windows.Calls().empty());
}

TEST_F(CommandsTest, PortFailureInACommandIsReportedAndTheNextCommandWorks) {
  ListThree();
  table.SelectAld(1);
  link.unplugged = true;
  EXPECT_EQ(commands.ConnectSelected(), kFailure);
  commands.CalibrateAllRets();
  aldOps.RefreshAlarms();
  commands.BroadcastReset();
  std::vector<RecordingMessages::Shown> shown = messages.All();
  ASSERT_EQ(shown.size(), 4u);
  for (const auto& m : shown) EXPECT_EQ(m.Title, "Serial port");
  EXPECT_TRUE(Traced("Serial port failure during Connect: error 9"));
  EXPECT_TRUE(Traced("Serial port failure during Calibrate all RETs"));
  EXPECT_EQ(windows.CountOf("EnableRetTab 1"), windows.CountOf("EnableRetTab 0"));
  link.unplugged = false;
  EXPECT_EQ(commands.ConnectSelected(), kSuccess);
}
