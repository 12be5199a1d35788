// The bus side over a real serial line: the link layer opens a
// pseudo-terminal that the simulator serves at 9600 baud, so every exchange
// takes its wire time. Kept to one device: a scan here costs real seconds.

#include <memory>

#include "RunTiming.h"
#include "StationFixture.h"
#include "sim/PtyServer.h"

class PtyStationTest : public ::testing::Test {
 protected:
  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  FakeClock clock;
  VirtualBus bus{clock};
  AisgHdlc link{log, table};
  AisgLayer7 layer7{link, table, log, clock};
  RecordingView view;
  RecordingWindows windows;
  RecordingMessages messages;
  BusStation station{layer7, BusUi{view, windows, messages}, nullptr, nullptr};
  std::unique_ptr<PtyServer> server;

  void SetUp() override {
    SimSite::BusSettings settings;
    std::string error;
    nlohmann::json device = {
        {"type", "singleRet"}, {"uniqueId", "KA0000801234567"}, {"subunits", {{{"calibrated", true}}}}};
    ASSERT_TRUE(SimSite::FromJson({{"devices", nlohmann::json::array({device})}}, bus, settings, &error)) << error;
    bus.SetCollisions(VirtualBus::Collisions::kGarble);
    Serve();
  }
  void TearDown() override {
    try {
      link.Close();
    } catch (const ECommError&) {
      // The line may already be gone.
    }
  }

  // Plugs the adapter in: a new pseudo-terminal, opened like a serial port.
  void Serve() {
    std::string error;
    server = std::make_unique<PtyServer>(bus, PtyServer::Options{9600, 3, ""});
    ASSERT_TRUE(server->Open("", &error)) << error;
    ASSERT_TRUE(server->Start(&error)) << error;
    ApplyRunTiming(link);
    link.ConfigurePort(server->SlavePath(), 9600);
    ASSERT_TRUE(AisgSerial::IsOpen()) << AisgSerial::LastError();
  }
  std::string Trace() { return traced_ += log.TakePending(); }
  bool Traced(const std::string& what) { return Trace().find(what) != std::string::npos; }

  std::string traced_;
};

TEST_F(PtyStationTest, ScanListAndAlarmPollOverTheLine) {
  station.Engine().Run();
  EXPECT_TRUE(Traced("Found: [1]"));
  EXPECT_EQ(table.Record(1).State, kStateConnected);
  station.Ticker().OnTimerTick();
  EXPECT_EQ(view.keys, (std::vector<std::string>{"1"}));
  table.SelectAld(1);
  station.AldOps().SubscribeAlarmsSelected();
  bus.RaiseAlarm(0, 1, 0x14);
  station.Poller().PollAll(station.List().RowCount());
  EXPECT_TRUE(Traced("MAIN 001 Alarm 'Position Lost' changed to 1"));
  EXPECT_TRUE(messages.All().empty());
}

// The adapter is pulled out while the program runs: the poll reports it and
// returns; once it is back and the port is opened again, polling works.
TEST_F(PtyStationTest, AdapterPulledOutAndPluggedBackIn) {
  station.Engine().Run();
  ASSERT_EQ(table.Record(1).State, kStateConnected);
  server.reset();
  station.Poller().PollAll(station.List().RowCount());
  ASSERT_EQ(messages.All().size(), 1u);
  EXPECT_EQ(messages.All()[0].Title, "Serial port");
  EXPECT_TRUE(Traced("Serial port failure during the alarm poll"));
  TearDown();
  Serve();
  traced_.clear();
  station.Poller().PollAll(station.List().RowCount());
  EXPECT_TRUE(Traced("POLL 001 Polling Request"));
  EXPECT_FALSE(Traced("Serial port failure"));
  EXPECT_EQ(messages.All().size(), 1u);
  EXPECT_EQ(table.Record(1).State, kStateConnected);
}
