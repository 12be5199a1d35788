#include <algorithm>

#include "Layer7Fixture.h"
#include "core/MessagePump.h"
#include "serial/ECommError.h"

namespace {

using EngineTest = Layer7Test;

TEST_F(EngineTest, ImmediateAnswerNeedsNoPoll) {
  AnswerI("03 01 00 00");
  EXPECT_EQ(l7.SoftwareReset(kAld), kSuccess);
  EXPECT_EQ(link.written.size(), 1u);
  EXPECT_EQ(SentMessage(0), "03 00 00");
  EXPECT_EQ(clock.Sleeps(), 0u);
  std::string trace = Trace();
  EXPECT_TRUE(Has(trace, "INF"));
  EXPECT_TRUE(Has(trace, "AISG 003 Handling Command: 'Reset'"));
  EXPECT_TRUE(Has(trace, "AISG 003 Response: 'Reset', Result: 'Success'"));
}

TEST_F(EngineTest, LateResponseOnTheFifthPollWhileBusy) {
  AnswerRR(5);  // the request and polls 1 to 4
  AnswerI("31 01 00 00");
  std::vector<int> busyAtWrite;
  link.onWrite = [&](const std::vector<uint8_t>&) { busyAtWrite.push_back(table.Record(kAld).Busy); };
  EXPECT_EQ(l7.RetCalibrate(kAld), kSuccess);
  EXPECT_EQ(busyAtWrite, (std::vector<int>{0, 1, 1, 1, 1, 1}));
  EXPECT_EQ(table.Record(kAld).Busy, 0);
  EXPECT_EQ(clock.NowMs(), 4000u);
  EXPECT_EQ(ToHex(link.SentContent(1)), "03 11");  // RR with N(R) 0
}

TEST_F(EngineTest, EndlessRrTimesOut) {
  AnswerRR(61);
  EXPECT_EQ(l7.RunSelfTest(kAld), kTimeout);
  EXPECT_EQ(link.written.size(), 61u);
  EXPECT_EQ(clock.NowMs(), 60000u);
  EXPECT_EQ(table.Record(kAld).Busy, 0);
  std::string trace = Trace();
  EXPECT_TRUE(Has(trace, "ERR"));
  EXPECT_TRUE(Has(trace, "AISG 003 L7 procedure Self Test timed out!"));
  EXPECT_TRUE(Has(trace, "AISG 003 Response: 'Self Test', Result: 'Timeout'"));
}

// After a time-out the device may still answer: the next request first
// polls once for that answer, and only then goes out.
TEST_F(EngineTest, TimedOutProcedureIsAskedForOnceBeforeTheNextRequest) {
  AnswerRR(61);
  EXPECT_EQ(l7.RunSelfTest(kAld), kTimeout);
  EXPECT_NE(table.Record(kAld).OwedProcedure, 0);
  size_t before = link.written.size();
  AnswerRR();
  AnswerI("34 03 00 00 64 00");
  int16_t tilt = 0;
  EXPECT_EQ(l7.RetGetTilt(kAld, tilt), kSuccess);
  EXPECT_EQ(tilt, 100);
  ASSERT_EQ(link.written.size(), before + 2);
  EXPECT_EQ(link.SentContent(before)[1] & 0x0F, 0x01);  // RR first
  EXPECT_EQ(SentMessage(before + 1), "34 00 00");
  EXPECT_TRUE(Has(Trace(), "No outstanding response to 'Self Test' came, given up"));
  EXPECT_EQ(table.Record(kAld).OwedProcedure, 0);
}

TEST_F(EngineTest, ForeignIFrameDuringTheWaitIsDropped) {
  AnswerRR(2);
  AnswerI("07 02 00 02 01");  // an alarm indication, not the awaited answer
  AnswerI("34 03 00 00 64 00");
  int16_t tilt = 0;
  EXPECT_EQ(l7.RetGetTilt(kAld, tilt), kSuccess);
  EXPECT_EQ(tilt, 100);
  EXPECT_EQ(clock.NowMs(), 2000u);
}

// The second between two polls is slept in short slices with the windows
// repainted after each: a user-interface thread waiting for a calibration
// never freezes for the whole second.
TEST_F(EngineTest, TheWaitLetsTheWindowsRepaintWithinTheSecond) {
  AnswerRR(3);
  AnswerI("31 01 00 00");
  uint64_t last = clock.NowMs();
  uint64_t longest = 0;
  SetPumpMessagesHook([&] {
    longest = std::max(longest, clock.NowMs() - last);
    last = clock.NowMs();
  });
  EXPECT_EQ(l7.RetCalibrate(kAld), kSuccess);
  SetPumpMessagesHook(nullptr);
  EXPECT_EQ(clock.NowMs(), 2000u);
  EXPECT_LE(longest, 100u);
}

TEST_F(EngineTest, DisconnectionDuringTheWaitGivesFail) {
  AnswerRR(2);
  link.onWrite = [&](const std::vector<uint8_t>&) {
    if (link.written.size() == 2) table.Record(kAld).State = kStateDisconnected;
  };
  EXPECT_EQ(l7.RetSetTilt(kAld, 10), kFail);
  EXPECT_EQ(link.written.size(), 2u);
  EXPECT_EQ(table.Record(kAld).Busy, 0);
  EXPECT_TRUE(Has(Trace(), "Response: 'Single Ret Set Tilt', Result: 'Fail'"));
}

// The adapter is pulled out while the engine waits for a late answer: the
// failure reaches the caller and the ALD is not left busy, so the alarm
// poll still visits it.
TEST_F(EngineTest, PortFailureDuringTheWaitLeavesTheAldNotBusy) {
  class PulledOut : public ScriptedHdlc {
   public:
    PulledOut(TraceLog& l, AldTable& t) : ScriptedHdlc(l, t), log(l) {}
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
      if (written.size() > 2) throw ECommError(ECommError::kRead, log, 5);
      return ScriptedHdlc::Read(buffer, capacity);
    }
    TraceLog& log;
  } pulled(log, table);
  AisgLayer7 engine(pulled, table, log, clock);
  pulled.AnswerFrame({kAld, 0x11});
  pulled.AnswerFrame({kAld, 0x11});
  std::vector<int> busyAtWrite;
  pulled.onWrite = [&](const std::vector<uint8_t>&) { busyAtWrite.push_back(table.Record(kAld).Busy); };
  EXPECT_THROW(engine.RetCalibrate(kAld), ECommError);
  EXPECT_EQ(busyAtWrite, (std::vector<int>{0, 1, 1}));
  EXPECT_EQ(table.Record(kAld).Busy, 0);
}

// An emulator that answered every frame from address 0 had its reset
// reported as done.
TEST_F(EngineTest, ResponseFromAnotherAddressIsNoResponse) {
  for (int i = 0; i < 3; ++i) link.AnswerFrame(Hex("00 10 03 01 00 00"));
  EXPECT_EQ(l7.SoftwareReset(kAld), kProtocolError);
  EXPECT_TRUE(Has(Trace(), "Response: 'Reset', Result: 'Protocol Error'"));
}

// The response to a request was lost: the link fetches it again by a poll,
// and the procedure succeeds without waiting.
TEST_F(EngineTest, LostResponseIsFetchedAgain) {
  link.AnswerNothing();
  link.AnswerFrame({kAld, 0x30, 0x03, 0x01, 0x00, 0x00});  // N(R) 1: the request arrived
  EXPECT_EQ(l7.SoftwareReset(kAld), kSuccess);
  EXPECT_EQ(link.written.size(), 2u);
  EXPECT_EQ(clock.Sleeps(), 0u);
}

// A recovery poll brings a queued message of another procedure although the
// request arrived: the engine waits for its response as for any late one.
TEST_F(EngineTest, QueuedMessageFromTheRecoveryPollIsNotTheResponse) {
  link.AnswerNothing();
  link.AnswerFrame({kAld, 0x30, 0x07, 0x02, 0x00, 0x01, 0x02});  // N(R) 1: an alarm indication
  link.AnswerFrame({kAld, 0x52, 0x31, 0x01, 0x00, 0x00});        // the calibration's response
  EXPECT_EQ(l7.RetCalibrate(kAld), kSuccess);
  EXPECT_EQ(link.written.size(), 3u);
  EXPECT_EQ(table.Record(kAld).Busy, 0);
}

TEST_F(EngineTest, MismatchedResponseCode) {
  AnswerI("05 01 00 00");
  L7Message response;
  EXPECT_EQ(l7.RunProcedure(kAld, L7Message::Make(0x03, {}), response), kFormatError);
  EXPECT_EQ(response.Length(), 1);
  EXPECT_EQ(response.DataAt(0), 42);
  EXPECT_TRUE(Has(Trace(), "ERR"));
  AnswerI("05 01 00 00");
  EXPECT_EQ(l7.SoftwareReset(kAld), kProtocolError);
  EXPECT_TRUE(Has(Trace(), "L7 procedure mismatch response code!"));
}

TEST_F(EngineTest, LinkFailureIsReportedAsItself) {
  EXPECT_EQ(l7.ClearAlarms(kAld), kTimeout);
  EXPECT_EQ(clock.Sleeps(), 0u);
  link.AnswerFrame({kAld, 0x1F});
  EXPECT_EQ(l7.ClearAlarms(kAld), kProtocolError);
  EXPECT_TRUE(Has(Trace(), "Response: 'Clear Alarms', Result: 'Protocol Error'"));
}

TEST(EngineResult, ResponseResult) {
  auto result = [](const std::string& message) {
    std::vector<uint8_t> bytes = Hex(message);
    L7Message m;
    std::copy(bytes.begin(), bytes.end(), m.Bytes);
    return int{AisgLayer7::ResponseResult(m)};
  };
  EXPECT_EQ(result("33 02 00 0B 13"), 28);
  EXPECT_EQ(result("81 02 00 02 05"), 15);
  EXPECT_EQ(result("03 01 00 0B"), 4);
  EXPECT_EQ(result("03 00 00"), 4);
  EXPECT_EQ(result("03 02 00 0B 0B"), 21);
  EXPECT_EQ(result("03 02 00 2A 00"), 46);
  // A declared length past the buffer reads zeros, never past it.
  EXPECT_EQ(result("03 FF FF 0B"), 46);
}

}  // namespace
