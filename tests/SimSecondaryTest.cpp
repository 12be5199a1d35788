#include <gtest/gtest.h>

#include "Hex.h"
#include "SimHarness.h"

namespace {

class SimSecondary : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.Add(SimHarness::SingleRet("KA0001"));
    sim.Exchange(SimHarness::Assign("KA0001", 1));
  }
  SimHarness sim;
};

TEST_F(SimSecondary, DisconnectedDeviceAnswersDmToIAndRr) {
  EXPECT_EQ(sim.Poll(1).Content, Hex("01 1F"));
  EXPECT_EQ(sim.Send(1, 0x34, {}).Content, Hex("01 1F"));
  EXPECT_EQ(sim.Connect(1).Content, Hex("01 73"));
  EXPECT_EQ(sim.Poll(1).Content, Hex("01 11"));
  EXPECT_EQ(sim.Exchange(Hex("01 53")).Content, Hex("01 73"));
  EXPECT_EQ(sim.Poll(1).Content, Hex("01 1F"));
}

TEST_F(SimSecondary, FramesForOtherAddressesAreIgnored) {
  sim.Connect(1);
  EXPECT_EQ(sim.Exchange(Hex("02 93")).Result, kTimeout);
  EXPECT_EQ(sim.Exchange(Hex("02 11")).Result, kTimeout);
  EXPECT_EQ(sim.Exchange(Hex("FF 93")).Result, kTimeout);
}

TEST_F(SimSecondary, SequenceNumbersCountLikeASecondary) {
  sim.Connect(1);
  // N(R) 1, N(S) 0 after the first I-frame; the tilt of 3.0 degrees follows.
  EXPECT_EQ(sim.Send(1, 0x34, {}).Content, Hex("01 30 34 03 00 00 1E 00"));
  EXPECT_EQ(sim.Exchange(Hex("01 32 34 00 00")).Content, Hex("01 52 34 03 00 00 1E 00"));
  EXPECT_EQ(sim.Exchange(Hex("01 51")).Content, Hex("01 51"));
  // A new connect starts both counts again.
  sim.Connect(1);
  EXPECT_EQ(sim.Send(1, 0x34, {}).Content[1], 0x30);
}

TEST_F(SimSecondary, OutOfSequenceIFrameIsRejected) {
  sim.Connect(1);
  EXPECT_EQ(sim.Exchange(Hex("01 16 34 00 00")).Content, Hex("01 19"));
  // Nothing was taken: the expected N(S) 0 still works.
  EXPECT_EQ(sim.Exchange(Hex("01 10 34 00 00")).Content[1], 0x30);
}

TEST_F(SimSecondary, UnacknowledgedFrameIsSentAgainOnTheNextPoll) {
  sim.Connect(1);
  ASSERT_EQ(sim.Send(1, 0x31, {}).Content, Hex("01 31"));  // calibrate: RR first
  sim.Time().Advance(6000);
  SimHarness::Reply first = sim.Exchange(Hex("01 11"));
  EXPECT_EQ(first.Content, Hex("01 30 31 01 00 00"));
  // The primary's N(R) still says 0: it never saw that frame.
  EXPECT_EQ(sim.Exchange(Hex("01 11")).Content, first.Content);
  EXPECT_EQ(sim.Exchange(Hex("01 31")).Content, Hex("01 31"));
}

TEST_F(SimSecondary, NewCommandGivesUpAnUnacknowledgedFrame) {
  sim.Connect(1);
  sim.Send(1, 0x34, {});
  // N(R) 0 again: the answer was lost, the primary moved on. The new answer
  // takes the number the primary expects.
  EXPECT_EQ(sim.Exchange(Hex("01 12 34 00 00")).Content, Hex("01 50 34 03 00 00 1E 00"));
  EXPECT_EQ(sim.Exchange(Hex("01 31")).Content, Hex("01 51"));
}

TEST_F(SimSecondary, FramesWithoutPollBitGetNoAnswer) {
  sim.Connect(1);
  EXPECT_EQ(sim.Exchange(Hex("01 01")).Result, kTimeout);
  // An I-frame without P is taken; its response waits for the next poll.
  EXPECT_EQ(sim.Exchange(Hex("01 00 34 00 00")).Result, kTimeout);
  EXPECT_EQ(sim.Exchange(Hex("01 31")).Content, Hex("01 30 34 03 00 00 1E 00"));
}

TEST_F(SimSecondary, UnknownCommandIsRejectedWithFrmrWhenConnected) {
  EXPECT_EQ(sim.Exchange(Hex("01 13")).Content, Hex("01 1F"));
  sim.Connect(1);
  EXPECT_EQ(sim.Exchange(Hex("01 13")).Content, Hex("01 97 13 00 01"));
}

TEST_F(SimSecondary, AddressIsForgottenAfterThreeQuietMinutes) {
  sim.Connect(1);
  sim.Time().Advance(179999);
  EXPECT_EQ(sim.Poll(1).Content, Hex("01 11"));
  // Frames for other devices do not keep it.
  sim.Time().Advance(100000);
  sim.Exchange(Hex("02 11"));
  sim.Time().Advance(80000);
  EXPECT_EQ(sim.Poll(1).Result, kTimeout);
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kSuccess);
}

TEST(SimSecondaryTimeout, ConfigurableAndZeroKeepsTheAddress) {
  SimHarness sim;
  sim.SetAddressTimeoutMs(0);
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Attach("KA0001", 1);
  sim.Time().Advance(24 * 3600 * 1000ull);
  EXPECT_EQ(sim.Poll(1).Content, Hex("01 11"));
}

}  // namespace
