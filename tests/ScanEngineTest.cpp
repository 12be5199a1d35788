#include <set>

#include "StationFixture.h"
#include "persist/MemoryProfileStore.h"
#include "persist/Settings.h"
#include "sim/SimXid.h"

namespace {

constexpr const char* kWholeBus =
    "19 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00/"
    "80 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";

}  // namespace

using ScanTest = StationTest;

TEST_F(ScanTest, EmptyBusEndsAfterTwoQuietWholeBusScans) {
  engine.Run();
  EXPECT_EQ(link.Scans(), (std::vector<std::string>{kWholeBus, kWholeBus}));
  EXPECT_TRUE(Traced("Scan Started"));
  EXPECT_TRUE(Traced("Found: [0]"));
  EXPECT_FALSE(engine.IsRunning());
  EXPECT_EQ(engine.ReportedCount(), 0);
  EXPECT_EQ(table.AldCount(), 0u);
}

TEST_F(ScanTest, OneDeviceIsEnteredAddressedAndConnected) {
  AddDevices({Device("singleRet", "KA0000801234567")});
  engine.Run();
  ExpectAllConnected(1);
  EXPECT_EQ(link.Scans(), (std::vector<std::string>{kWholeBus, kWholeBus}));
  EXPECT_TRUE(Traced("Found: KA0000801234567"));
  EXPECT_TRUE(Traced("Auto Address & Connect: KA0000801234567"));
  EXPECT_TRUE(Traced("Found: [1]"));
  EXPECT_EQ(engine.ReportedCount(), 1);
  EXPECT_EQ(engine.FoundCount(), 0);
  EXPECT_EQ(table.Record(1).AisgVersion, 2);
  EXPECT_EQ(table.Record(1).DeviceType, kAldSingleRet);
}

// Both first characters are 'K' (bit 0x10 clear, bit 0x08 set); the
// vendor codes differ in their second character.
TEST_F(ScanTest, PairKaKbIsSeparatedByTheVendorSearch) {
  AddDevices({Device("singleRet", "KA0000000001"), Device("singleRet", "KB0000000002")});
  engine.Run();
  ExpectAllConnected(2);
  std::vector<std::string> scans = link.Scans();
  ASSERT_GE(scans.size(), 6u);
  EXPECT_EQ(scans[0], kWholeBus);  // collides
  EXPECT_EQ(scans[1], "1 00/10");  // 'A'..'O' collides
  EXPECT_EQ(scans[2], "1 00/08");  // bit 0x08 clear: nobody
  EXPECT_EQ(scans[3], kWholeBus);  // still colliding
  EXPECT_EQ(scans[4], "1 08/08");  // 'H'..'O' collides
  EXPECT_EQ(scans[5], "1 48/FF");  // RangeScanVID_1 starts at 'H'
  EXPECT_EQ(table.UniqueIdText(1), "KA0000000001");
  EXPECT_EQ(table.UniqueIdText(2), "KB0000000002");
  EXPECT_TRUE(Traced("Found all of Vendor [KA]"));
  EXPECT_TRUE(Traced("Found: [2]"));
  EXPECT_EQ(debug, (std::vector<std::string>{"Scan all returned timeout to RangeScanVendor \n"}));
  EXPECT_FALSE(engine.IsRunning());
}

// Two serial numbers that differ only in their last character share the
// vendor code: only the bit search tells them apart.
TEST_F(ScanTest, DemoSiteIsFoundCompletely) {
  AddSite(SimSite::Demo());
  engine.Run();
  ExpectAllConnected(5);
  EXPECT_TRUE(Traced("Found: [5]"));
  EXPECT_FALSE(engine.IsRunning());
}

TEST_F(ScanTest, SixteenDeviceSiteIsFoundCompletely) {
  AddDevices(ManyRets(16));
  engine.Run();
  ExpectAllConnected(16);
  EXPECT_TRUE(Traced("Found: [16]"));
}

TEST_F(ScanTest, SixtyFourDeviceSiteIsFoundCompletely) {
  AddDevices(ManyRets(64));
  engine.Run();
  ExpectAllConnected(64);
  EXPECT_TRUE(Traced("Found: [64]"));
}

TEST_F(ScanTest, SameVendorDevicesDifferingAnywhereAreSeparated) {
  AddDevices({Device("singleRet", "KA1"), Device("singleRet", "KA2"), Device("singleRet", "KA3"),
              Device("singleRet", "KA0000000000000001"), Device("singleRet", "KA1000000000000001"),
              Device("singleRet", "KA0000000010000001"), Device("tma", "KAA", 2), Device("multiRet", "KAB", 3)});
  engine.Run();
  ExpectAllConnected(8);
}

// Identifiers are octets: one that starts with a NUL is no free slot, and
// two that differ only after a NUL are two ALDs.
TEST_F(ScanTest, IdentifiersWithNulsAreEnteredWhole) {
  AddRawRet(std::string("\0KA0000000001", 13));
  engine.Run();
  ExpectAllConnected(1);
  EXPECT_EQ(table.Record(1).UniqueIdLength, 13);
  EXPECT_FALSE(TracedAt("WRN", " MAIN "));
  EXPECT_TRUE(Traced("Found: [1]"));

  engine.Reset();
  bus.PowerOff(0);
  AddRawRet(std::string("KA1\0X", 5));
  AddRawRet(std::string("KA1\0Y", 5));
  engine.Run();
  ExpectAllConnected(2);
  EXPECT_TRUE(Traced("Found: [2]"));
}

// Identifiers that share their last fifteen characters and differ only next
// to the vendor code: the bit search has to go all the way down the
// identifier, for two vendor codes at once.
TEST_F(ScanTest, LongSharedTailsDifferingNextToTheVendorCodeAreAllFound) {
  const std::string tail = "63690095:13\\21Z";
  std::vector<json> devices;
  for (const char* head : {"KA9", "KA3", "KA49", "KA,", "AN23", "AN[", "KA2t", "KA65", "AN93", "AN35"}) {
    devices.push_back(Device("singleRet", head + tail));
  }
  AddDevices(devices);
  engine.Run();
  ExpectAllConnected(devices.size());
  EXPECT_TRUE(Traced("Found: [10]"));
  EXPECT_FALSE(TracedAt("WRN", " MAIN "));
}

// A device that answers alone but never keeps the address it is given is
// left after a few tries; its neighbour is found and the scan ends.
TEST_F(ScanTest, DeviceThatNeverTakesItsAddressDoesNotHoldTheSearch) {
  const std::string bad = "KA0000000001";
  AddDevices({Device("singleRet", bad), Device("singleRet", "KA0000000002")});
  size_t device = bus.Find(bad).value_or(0);
  bool off = false;
  link.onWrite = [&] {
    if (off) bus.PowerOn(device);
    std::vector<uint8_t> frame = link.Frames().back();
    // FF BF 81 F0 GL 01 n id 02 01 slot: the device is deaf to its assignment.
    off = frame.size() == 10 + bad.size() && frame[5] == 0x01 &&
          std::string(frame.begin() + 7, frame.begin() + 7 + static_cast<long>(bad.size())) == bad;
    if (off) bus.PowerOff(device);
    if (link.exchanges > 5000) engine.Stop();
  };
  engine.Run();
  link.onWrite = nullptr;
  EXPECT_LT(link.exchanges.load(), 5000u);
  EXPECT_FALSE(engine.IsRunning());
  ASSERT_EQ(table.AldCount(), 2u);
  EXPECT_NE(table.Record(1).State, kStateConnected);
  EXPECT_EQ(table.UniqueIdText(2), "KA0000000002");
  EXPECT_EQ(table.Record(2).State, kStateConnected);
}

// More devices than the table holds, answering one after the other: the
// table fills, the user is told that more answered, and every ALD entered
// is addressed and connected.
TEST_F(ScanTest, ThousandRetsFillTheTableAndTheRestAreReported) {
  collisions = VirtualBus::Collisions::kConcat;
  AddDevices(ManyRets(1000));
  engine.Run();
  EXPECT_FALSE(engine.IsRunning());
  ExpectAllConnected(AldTable::kMaxAld);
  EXPECT_TRUE(Traced("Found: [254]"));
  EXPECT_FALSE(Traced("Several ALDs answer"));
  std::vector<RecordingMessages::Shown> shown = messages.All();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Title, "ALD table full");
  EXPECT_NE(shown[0].Text.find("any further ALDs were left out"), std::string::npos);
}

// Answers that go on past the read belong to the scan that asked; the next
// scan hears its own answer only.
TEST_F(ScanTest, AnswersOutlastingTheReadAreNotTakenByTheNextScan) {
  collisions = VirtualBus::Collisions::kConcat;
  AddDevices(ManyRets(40));
  uint8_t all[ScanEngine::kIdLength] = {};
  EXPECT_NE(link.XidScan(all, all, ScanEngine::kIdLength, &table.Scratch()), kTimeout);
  EXPECT_TRUE(Traced("Answers go on; waiting for a quiet line"));
  std::vector<uint8_t> one = SimXid::PadUniqueId(ManyRets(1)[0]["uniqueId"]);
  std::vector<uint8_t> full(ScanEngine::kIdLength, 0xFF);
  ASSERT_EQ(link.XidScan(one.data(), full.data(), ScanEngine::kIdLength, &table.Scratch()), kSuccess);
  EXPECT_EQ(std::string(table.Scratch().UniqueId), ManyRets(1)[0]["uniqueId"]);
}

// Two devices with the same identifier never answer alone: no mask tells
// them apart. The user is told their identifier; every other device, of
// their vendor too, is found.
TEST_F(ScanTest, IdenticalIdentifiersAreReportedAndEveryOtherDeviceIsFound) {
  collisions = VirtualBus::Collisions::kConcat;  // identical answers would otherwise merge into one
  AddDevices({Device("singleRet", "KA0000000042"), Device("singleRet", "KA0000000042"),
              Device("singleRet", "KA0000000043"), Device("singleRet", "NK0000000007")});
  engine.Run();
  EXPECT_FALSE(engine.IsRunning());
  ASSERT_EQ(table.AldCount(), 2u);
  for (unsigned slot = 1; slot <= 2; ++slot) {
    EXPECT_EQ(table.Record(slot).State, kStateConnected);
    EXPECT_NE(table.UniqueIdText(slot), "KA0000000042");
  }
  EXPECT_TRUE(TracedAt("WRN", "Several ALDs answer with the unique id KA0000000042: they cannot be told apart"));
  EXPECT_EQ(TraceCount("Several ALDs answer"), 1u);
  EXPECT_TRUE(Traced("Found: [2]"));
  std::vector<RecordingMessages::Shown> shown = messages.All();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Title, "Identical unique ids");
  EXPECT_NE(shown[0].Text.find(": KA0000000042."), std::string::npos) << shown[0].Text;
  EXPECT_EQ(shown[0].Kind, UserMessages::Icon::kWarning);
  // Proving that nothing else hides beside the pair takes one scan per
  // identifier bit, and no more.
  EXPECT_LT(link.Scans().size(), 400u);
}

// Vendor codes outside the letters are never reached by the vendor search;
// the search then takes the identifiers bit by bit.
TEST_F(ScanTest, IdentifiersOutsideTheLettersAreFoundBitByBit) {
  AddDevices({Device("singleRet", "ka0000000001"), Device("singleRet", "kb0000000002"), Device("tma", "1Z00042", 2),
              Device("singleRet", "KA0000000003"), Device("multiRet", "@@1", 3)});
  engine.Run();
  EXPECT_FALSE(engine.IsRunning());
  EXPECT_TRUE(Traced("Searching every unique id bit by bit"));
  EXPECT_TRUE(Traced("Found: [5]"));
  ExpectAllConnected(5);
}

TEST_F(ScanTest, WithoutAutoConnectAWholeBusFindStaysDiscoveredAndTheScanEnds) {
  scanOptions.AutoConnect = 0;
  engine.Reset();
  AddDevices({Device("singleRet", "KA0000801234567")});
  engine.Run();
  EXPECT_FALSE(engine.IsRunning());
  EXPECT_TRUE(Traced("Found: KA0000801234567"));
  EXPECT_FALSE(Traced("Auto Address & Connect"));
  EXPECT_TRUE(Traced("Found: [1]"));
  EXPECT_EQ(table.Record(1).State, kStateDiscovered);
  EXPECT_EQ(table.Record(1).Address, 0);
  bus.WithDevice(0, [](SimAld& d) { EXPECT_EQ(d.Address(), 0); });
  EXPECT_EQ(clock.NowMs(), 20u);  // the pause after a find without connecting
  EXPECT_EQ(engine.AutoConnect(), 0);
}

TEST_F(ScanTest, WithoutAutoConnectDevicesFoundByTheVendorSearchAreConnectedAllTheSame) {
  scanOptions.AutoConnect = 0;
  engine.Reset();
  AddDevices({Device("singleRet", "KA0000000001"), Device("singleRet", "KB0000000002")});
  engine.Run();
  ExpectAllConnected(2);
  EXPECT_EQ(engine.AutoConnect(), 1);
  engine.Reset();
  EXPECT_EQ(engine.AutoConnect(), 0);
}

TEST_F(ScanTest, ResetTakesTheOptionsAndEmptiesTheTable) {
  AddDevices({Device("singleRet", "KA0000801234567")});
  engine.Run();
  scanOptions = {0, 12, 0, 1};
  engine.Reset();
  EXPECT_EQ(table.AldCount(), 0u);
  EXPECT_EQ(engine.ReportedCount(), 0);
  EXPECT_EQ(engine.AutoConnect(), 0);
  EXPECT_EQ(engine.MaxIterations(), 12);
  EXPECT_EQ(engine.RepeatMode(), 0);
  EXPECT_EQ(engine.PreviouslyFound(), 1);
  engine.SetAutoConnect(1);
  engine.SetMaxIterations(7);
  engine.SetRepeatMode(1);
  EXPECT_EQ(engine.AutoConnect(), 1);
  EXPECT_EQ(engine.MaxIterations(), 7);
  EXPECT_EQ(engine.RepeatMode(), 1);
}

// The options dialog's save reaches the engine at once; the engine reset
// reads the settings' values in force.
TEST_F(ScanTest, SettingsHandTheirScanOptionsToTheEngine) {
  MemoryProfileStore store;
  Settings settings(store, log);
  settings.SetScanOptionsSink(&engine);
  settings.ScanAutoconnect = 0;
  settings.ScanMaxIterations = 5;
  settings.ScanRepeatMode = 0;
  ASSERT_TRUE(settings.Save());
  EXPECT_EQ(engine.AutoConnect(), 0);
  EXPECT_EQ(engine.MaxIterations(), 5);
  EXPECT_EQ(engine.RepeatMode(), 0);
  scanOptions = settings.CurrentScanOptions();
  scanOptions.PreviouslyFound = 1;
  engine.Reset();
  EXPECT_EQ(engine.AutoConnect(), 0);
  EXPECT_EQ(engine.PreviouslyFound(), 1);
}

// A device that lost its address while the table still holds it answers
// the scan: it is not entered twice, and gets its address and link back.
TEST_F(ScanTest, KnownDeviceAnsweringAgainIsReaddressedNotEnteredTwice) {
  AddDevices({Device("singleRet", "KA0000801234567")});
  engine.Run();
  engine.ClearReportedCount();
  PowerCycle(1);
  ForgetTrace();
  engine.Run();
  EXPECT_EQ(table.AldCount(), 1u);
  ExpectAllConnected(1);
  EXPECT_FALSE(Traced("Found: KA"));
  EXPECT_TRUE(Traced("Auto Address & Connect: KA0000801234567"));
  EXPECT_TRUE(Traced("Found: [0]"));
}

TEST_F(ScanTest, DeviceFoundWhileTheTableIsFullIsLeftOutAndReported) {
  for (unsigned slot = 1; slot < AldTable::kMaxAld; ++slot) {
    AldRecord r;
    std::snprintf(r.UniqueId, sizeof r.UniqueId, "ZZ%05u", slot);
    r.UniqueIdLength = 7;
    r.State = kStateConnected;
    ASSERT_EQ(table.Insert(r), slot);
    table.Record(slot).State = kStateConnected;
  }
  AddDevices({Device("singleRet", "KA0000000001"), Device("singleRet", "KB0000000002")});
  engine.Run();
  EXPECT_FALSE(engine.IsRunning());
  EXPECT_EQ(table.AldCount(), AldTable::kMaxAld);
  EXPECT_EQ(table.UniqueIdText(254), "KA0000000001");
  EXPECT_TRUE(Traced("left out"));
  EXPECT_TRUE(Traced("Found: [1]"));
  std::vector<RecordingMessages::Shown> shown = messages.All();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Title, "ALD table full");
  EXPECT_NE(shown[0].Text.find("KB0000000002"), std::string::npos);
}

// A stop between the groups of the search ends it without the finishing
// step: the ALDs it entered are counted by the next scan that finishes.
// Here the stop comes during the whole-bus scan that closes the 'A'..'G'
// group, which still collides.
TEST_F(ScanTest, StopBetweenTheGroupsCarriesTheFoundCountOver) {
  AddDevices({Device("singleRet", "AA0000000001"), Device("singleRet", "BB0000000002"),
              Device("singleRet", "RA0000000003"), Device("singleRet", "RB0000000004")});
  link.onWrite = [this] {
    std::vector<std::string> scans = link.Scans();
    if (scans.size() >= 2 && scans.back() == kWholeBus && scans[scans.size() - 2] == "2 47 10/FF 10") engine.Stop();
  };
  engine.Run();
  link.onWrite = nullptr;
  EXPECT_FALSE(engine.IsRunning());
  EXPECT_TRUE(Traced("Scan stopped"));
  EXPECT_FALSE(Traced("Found: ["));
  EXPECT_EQ(table.AldCount(), 2u);
  EXPECT_EQ(engine.FoundCount(), 2);
  EXPECT_EQ(engine.ReportedCount(), 0);
  engine.Run();
  ExpectAllConnected(4);
  EXPECT_TRUE(Traced("Found: [4]"));
  EXPECT_EQ(engine.ReportedCount(), 4);
}

// The second device comes up while the first is being connected: a scan
// that went on would find it with its next whole-bus scan.
TEST_F(ScanTest, StopDuringTheWholeBusLoopEndsWithTheFinishingStep) {
  AddDevices({Device("singleRet", "KA0000000001"), Device("singleRet", "KB0000000002")});
  bus.PowerOff(1);
  link.onWrite = [this] {
    if (table.AldCount() == 1 && engine.IsRunning()) {
      bus.PowerOn(1);
      engine.Stop();
    }
  };
  engine.Run();
  link.onWrite = nullptr;
  EXPECT_FALSE(engine.IsRunning());
  EXPECT_TRUE(Traced("Scan stopped"));
  EXPECT_TRUE(Traced("Found: [1]"));
  EXPECT_EQ(engine.ReportedCount(), 1);
  EXPECT_EQ(link.Scans(), (std::vector<std::string>{kWholeBus}));
  EXPECT_EQ(table.AldCount(), 1u);
  bus.WithDevice(1, [](SimAld& d) { EXPECT_EQ(d.Address(), 0); });
}

TEST_F(ScanTest, ReportedCountsAddUpUntilTaken) {
  AddDevices({Device("singleRet", "KA0000000001")});
  engine.Run();
  AddDevices({Device("singleRet", "AN0000000002")});
  engine.Run();
  EXPECT_EQ(engine.ReportedCount(), 2);
  EXPECT_EQ(engine.TakeReportedCount(), 2);
  EXPECT_EQ(engine.ReportedCount(), 0);
}

// Slot 1's device was power cycled and declared lost; slot 2's stays off.
TEST_F(ScanTest, ReconnectPassBringsBackLostAlds) {
  AddDevices({Device("singleRet", "KA0000000001"), Device("singleRet", "AN0000000002")});
  engine.Run();
  engine.ClearReportedCount();
  PowerCycle(1);
  bus.PowerOff(DeviceIn(2));
  table.Record(1).State = kStateDisconnected;
  table.Record(2).State = kStateDisconnected;
  windows.Open(1);
  ForgetTrace();
  uint64_t before = clock.NowMs();
  engine.Run();
  EXPECT_EQ(table.Record(1).State, kStateConnected);
  EXPECT_EQ(table.Record(2).State, kStateDisconnected);
  EXPECT_NE(Trace().find("MAIN 001 Reconnected Successfully"), std::string::npos) << Trace();
  EXPECT_NE(Trace().find("MAIN 002 Unable to reconnect"), std::string::npos);
  EXPECT_EQ(TraceCount("Reconnected Successfully"), 1u);
  EXPECT_EQ(windows.Calls(), (std::vector<std::string>{"LoadAld 1", "EnableCommands 1 1"}));
  std::vector<RecordingMessages::Shown> shown = messages.All();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Title, "RECONNECTED");
  EXPECT_EQ(shown[0].Text, "Reconnected 1 ALDs");
  EXPECT_EQ(shown[0].Kind, UserMessages::Icon::kInformation);
  // Two ALDs: 500 + 500 + 2000 each, and 500 after reloading the window.
  EXPECT_EQ(clock.NowMs() - before, 2 * 3000u + 500u);
  EXPECT_TRUE(Traced("Found: [0]"));
}

TEST_F(ScanTest, NoReconnectMessageWhenNothingCameBack) {
  AddDevices({Device("singleRet", "KA0000000001")});
  engine.Run();
  bus.PowerOff(DeviceIn(1));
  table.Record(1).State = kStateDisconnected;
  engine.Run();
  EXPECT_TRUE(Traced("Unable to reconnect"));
  EXPECT_TRUE(messages.All().empty());
}

TEST_F(ScanTest, PortFailureEndsTheScanAndHandsOverWhatItFound) {
  AddDevices({Device("singleRet", "KA0000000001"), Device("singleRet", "KB0000000002")});
  link.onWrite = [this] {
    if (table.AldCount() == 1) link.unplugged = true;
  };
  EXPECT_THROW(engine.Run(), ECommError);
  link.onWrite = nullptr;
  EXPECT_FALSE(engine.IsRunning());
  EXPECT_EQ(engine.ReportedCount(), 1);
  // The ALD entered just before keeps the address it was given; the
  // connect command finishes it.
  EXPECT_EQ(table.Record(1).State, kStateAddressed);
  link.unplugged = false;
  engine.Run();
  EXPECT_EQ(table.AldCount(), 2u);
  EXPECT_EQ(table.Record(2).State, kStateConnected);
  EXPECT_EQ(engine.ReportedCount(), 2);
}
