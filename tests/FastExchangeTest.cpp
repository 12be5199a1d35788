#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>

#include "AldsimProcess.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/FakeClock.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "link/AisgHdlc.h"

namespace {

constexpr const char* kRetId = "KA0000801234567";

// The demonstration site's first RET alone, with the given answer habits.
std::string OneRetSite(const TempDir& dir, const nlohmann::json& habits) {
  std::ifstream in(std::string(TILTDECK_SOURCE_DIR) + "/sim/sites/demo.json");
  nlohmann::json site = nlohmann::json::parse(in);
  nlohmann::json ret = site["devices"][0];
  if (habits.is_object()) ret.update(habits);
  site["devices"] = nlohmann::json::array({ret});
  std::string path = dir.File("site.json");
  std::ofstream(path) << site.dump(2);
  return path;
}

// The link over the real serial layer on aldsim's pseudo-terminal, in the
// mode the test's parameter names: fast exchanges on or off.
class FastExchangeTest : public ::testing::TestWithParam<bool> {
 protected:
  TempDir dir;
  std::unique_ptr<AldsimProcess> sim;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  AisgHdlc link{log, table};
  FakeClock clock;
  AisgLayer7 l7{link, table, log, clock};

  bool Fast() const { return GetParam(); }

  void Serve(const nlohmann::json& habits, std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--site", OneRetSite(dir, habits)});
    sim = std::make_unique<AldsimProcess>(args);
    link.SetExchangeTiming(Fast(), AisgHdlc::kDefaultGuardMs);
    AisgSerial::ClearLastError();
    link.ConfigurePort(sim->LinkPath(), 9600);
    ASSERT_EQ(AisgSerial::LastError(), "");
  }
  void TearDown() override {
    link.Close();
    if (HasFailure()) std::fprintf(stderr, "%s", Trace().c_str());
  }
  std::string Trace() { return ReadFile(dir.File("trace.txt")); }

  // The RET in slot 1, given its address; the result of the address's XID.
  ResultCode Address() {
    AldRecord& r = table.Record(1);
    r.InUse = 1;
    r.DeviceType = kAldSingleRet;
    std::memcpy(r.UniqueId, kRetId, std::strlen(kRetId));
    r.UniqueIdLength = static_cast<uint8_t>(std::strlen(kRetId));
    return link.AssignAddress(1);
  }

  // Connects the addressed RET, reads its information and polls it; each
  // must come out as on a clean line.
  void ConnectAskAndPoll() {
    ASSERT_EQ(link.Connect(1), kSuccess);
    AldRecord& ret = table.Record(1);
    EXPECT_EQ(l7.GetInformation(1, ret), kSuccess);
    EXPECT_EQ(ret.ProductNumber, "RET-8001");
    EXPECT_EQ(ret.SoftwareVersion, "SW 3.4.17");
    uint8_t payload[AisgHdlc::kAnswerBuffer];
    EXPECT_EQ(link.Poll(1, payload), kSuccess);
  }
};

// The device pauses 30 ms inside every answer, less than the silence that
// ends a read: in both modes the answer is read whole, since half a frame
// is no frame.
TEST_P(FastExchangeTest, AnswerInTwoPiecesIsReadWhole) {
  Serve({{"splitAnswerMs", 30}});
  ASSERT_EQ(Address(), kSuccess);
  ConnectAskAndPoll();
  EXPECT_EQ(link.Disconnect(1), kSuccess);
  EXPECT_EQ(Trace().find("Invalid hdlc frame received"), std::string::npos);
}

// Noise right after the closing flag, longer than the guard time: fast, the
// answer ends with its frame, the noise is traced and thrown away before
// the next request and in front of the next answer, and every answer is
// taken at once; exact, the noise is part of the read, which is then no
// frame.
TEST_P(FastExchangeTest, NoiseAfterTheFrame) {
  Serve({{"strayOctets", 20}});
  ASSERT_EQ(Address(), kSuccess);
  if (!Fast()) {
    EXPECT_EQ(link.Connect(1), kProtocolError);
    return;
  }
  ConnectAskAndPoll();
  std::string trace = Trace();
  EXPECT_NE(trace.find("RX[0"), std::string::npos);
  EXPECT_NE(trace.find("octets received between exchanges discarded"), std::string::npos);
  EXPECT_EQ(trace.find("No answer to the I-frame"), std::string::npos);
  EXPECT_EQ(trace.find("Invalid hdlc frame received"), std::string::npos);
}

// A device whose line echoes sends its previous I-frame again just ahead of
// each answer: right behind it when fast, after a pause longer than the
// silence that ends a read when exact. That frame carries the sequence
// numbers of the exchange before; taken, it would stand for the answer.
TEST_P(FastExchangeTest, LateIFrameAheadOfTheAnswerIsPassedOver) {
  Serve({{"staleIFrameGapMs", Fast() ? 0 : 80}});
  ASSERT_EQ(Address(), kSuccess);
  ASSERT_EQ(link.Connect(1), kSuccess);
  const uint8_t getInfo[] = {0x05, 0x00, 0x00};
  const uint8_t alarmStatus[] = {0x04, 0x00, 0x00};
  uint8_t answer[AisgHdlc::kAnswerBuffer] = {};
  ASSERT_EQ(link.SendIFrame(1, getInfo, answer), kSuccess);
  ASSERT_EQ(answer[0], 0x05);
  EXPECT_EQ(link.SendIFrame(1, alarmStatus, answer), kSuccess);
  EXPECT_EQ(answer[0], 0x04) << "the alarm status, not the information once more";
  EXPECT_EQ(table.Record(1).RecvSeq, 2);
  uint8_t payload[AisgHdlc::kAnswerBuffer];
  EXPECT_EQ(link.Poll(1, payload), kSuccess);
  std::string trace = Trace();
  EXPECT_NE(trace.find("I-frame with N(S) 0 N(R) 1 passed over: the answer carries N(S) 1 N(R) 2"), std::string::npos);
  EXPECT_EQ(trace.find("No answer to the I-frame"), std::string::npos);
}

// A frame whose FCS is wrong never completes an answer: the read ends on
// the silence after it, and the exchange fails as it always did.
TEST_P(FastExchangeTest, CorruptedFcsEndsOnSilence) {
  Serve({}, {"--faults", "fcs=1"});
  // The device takes its address even though its answer is garbled.
  EXPECT_NE(Address(), kSuccess);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link.Connect(1), kProtocolError);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(AisgSerial::kReadIntervalMs));
  EXPECT_NE(Trace().find("Invalid hdlc frame received"), std::string::npos);
}

// The next request waits the guard time after the last answer's closing
// flag, however soon it is ready.
TEST_P(FastExchangeTest, GuardTimeAfterAnAnswer) {
  if (!Fast()) GTEST_SKIP() << "the silence after every answer is the guard";
  Serve({});
  ASSERT_EQ(Address(), kSuccess);
  ASSERT_EQ(link.Connect(1), kSuccess);
  constexpr uint32_t kGuardMs = 150;
  link.SetExchangeTiming(true, kGuardMs);
  uint8_t payload[AisgHdlc::kAnswerBuffer];
  ASSERT_EQ(link.Poll(1, payload), kSuccess);
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(link.Poll(1, payload), kSuccess);
  ASSERT_EQ(link.Poll(1, payload), kSuccess);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2 * kGuardMs));
}

INSTANTIATE_TEST_SUITE_P(BothModes, FastExchangeTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Fast" : "Exact"; });

}  // namespace
