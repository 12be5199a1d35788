// A long procedure whose wait was abandoned (the adapter pulled out, the
// time-out run out) leaves its answer owed by the device; the next request
// must not take that answer for its own.

#include "StationFixture.h"

namespace {

class AbandonedProcedure : public StationTest {
 protected:
  void SetUp() override {
    StationTest::SetUp();
    AddDevices({Device("singleRet", "KA0000801234567")});
    ScanAndList();
    ExpectAllConnected(1);
  }
  // Starts a move to `tilt` and pulls the adapter out after `polls` polls of
  // the wait for its end.
  void StartMoveThenPullOut(int16_t tilt, size_t polls) {
    uint64_t before = link.exchanges;
    link.onWrite = [this, before, polls] {
      if (link.exchanges >= before + 1 + polls) link.unplugged = true;
    };
    EXPECT_THROW(layer7.RetSetTilt(1, tilt), ECommError);
    link.onWrite = nullptr;
    link.unplugged = false;
  }
  int16_t Tilt() {
    int16_t tilt = -1;
    EXPECT_EQ(layer7.RetGetTilt(1, tilt), kSuccess);
    return tilt;
  }
};

// The device ends the abandoned move and queues its answer while the port
// is away; the next move takes its own answer, not that one.
TEST_F(AbandonedProcedure, NextMoveWaitsForItsOwnAnswer) {
  StartMoveThenPullOut(100, 1);
  clock.Advance(60 * 1000);
  ASSERT_EQ(Tilt(), 100);
  EXPECT_EQ(layer7.RetSetTilt(1, 50), kSuccess);
  EXPECT_EQ(Tilt(), 50);
  EXPECT_TRUE(Traced("Late response to 'Single Ret Set Tilt' discarded, Result: 'Success'"));
  EXPECT_EQ(table.Record(1).OwedProcedure, 0);
  EXPECT_EQ(table.Record(1).Busy, 0);
}

// The port comes back while the abandoned move still runs: the next request
// waits for the owed answer before it goes out.
TEST_F(AbandonedProcedure, OwedAnswerIsAwaitedBeforeTheNextRequest) {
  StartMoveThenPullOut(100, 1);
  EXPECT_EQ(layer7.RetSetTilt(1, 20), kSuccess);
  EXPECT_EQ(Tilt(), 20);
  EXPECT_TRUE(Traced("Collecting the outstanding response to 'Single Ret Set Tilt'"));
  EXPECT_TRUE(Traced("Late response to 'Single Ret Set Tilt' discarded"));
}

// The alarm poll may fetch the owed answer first: it is dropped there and
// the next request does not wait for it.
TEST_F(AbandonedProcedure, AlarmPollTakesTheOwedAnswer) {
  StartMoveThenPullOut(100, 1);
  clock.Advance(60 * 1000);
  PollNow();
  EXPECT_EQ(table.Record(1).OwedProcedure, 0);
  uint64_t sleeps = clock.Sleeps();
  EXPECT_EQ(Tilt(), 100);
  EXPECT_EQ(clock.Sleeps(), sleeps);
}

// A device that never answers (stuck) holds the next request up no longer
// than the abandoned procedure's own time limit; the request then goes out
// and the device, still busy, says so.
TEST_F(AbandonedProcedure, OwedAnswerThatNeverComesIsGivenUp) {
  bus.WithDevice(0, [](SimAld& d) { d.SetStuck(true); });
  uint64_t start = clock.NowMs();
  StartMoveThenPullOut(100, 2);
  int16_t tilt = -1;
  EXPECT_EQ(layer7.RetGetTilt(1, tilt), kBusy);
  EXPECT_GE(clock.NowMs() - start, 119u * 1000);
  EXPECT_LE(clock.NowMs() - start, 122u * 1000);
  EXPECT_TRUE(Traced("No outstanding response to 'Single Ret Set Tilt' came, given up"));
  EXPECT_EQ(table.Record(1).OwedProcedure, 0);
}

// A reset ends the device's procedure: nothing is owed after it, and it
// goes out without waiting.
TEST_F(AbandonedProcedure, ResetDropsTheOwedAnswer) {
  bus.WithDevice(0, [](SimAld& d) { d.SetStuck(true); });
  StartMoveThenPullOut(100, 1);
  uint64_t sleeps = clock.Sleeps();
  EXPECT_EQ(layer7.SoftwareReset(1), kSuccess);
  EXPECT_EQ(clock.Sleeps(), sleeps);
  EXPECT_EQ(table.Record(1).OwedProcedure, 0);
}

}  // namespace
