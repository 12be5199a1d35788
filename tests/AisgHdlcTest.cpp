#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "Hex.h"
#include "ScriptedHdlc.h"
#include "TempDir.h"
#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "core/TraceLog.h"
#include "link/LinkObserver.h"
#include "serial/ECommError.h"

namespace {

class LinkTest : public ::testing::Test {
 protected:
  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
  ScriptedHdlc link{log, table};

  std::string Wire(size_t i) const { return ToHex(link.written.at(i)); }
  std::string Trace() { return log.TakePending(); }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  void AddAld(unsigned slot, const std::string& uid) {
    AldRecord& r = table.Record(slot);
    r.InUse = 1;
    std::memcpy(r.UniqueId, uid.data(), uid.size());
    r.UniqueIdLength = static_cast<uint8_t>(uid.size());
  }
};

TEST_F(LinkTest, DiscoveryFramesOnTheWire) {
  EXPECT_EQ(link.ResetRequest(), kTimeout);
  EXPECT_EQ(Wire(0), "7E FF BF 81 F0 02 07 00 A4 F3 7E");

  const uint8_t zero = 0;
  EXPECT_EQ(link.XidScan(&zero, &zero, 1, &table.Scratch()), kTimeout);
  EXPECT_EQ(Wire(1), "7E FF BF 81 F0 06 01 01 00 03 01 00 2B C5 7E");

  AddAld(3, "KA0123456789ABC");
  EXPECT_EQ(link.AssignAddress(3), kTimeout);
  EXPECT_EQ(ToHex(link.SentContent(2)), "FF BF 81 F0 14 01 0F 4B 41 30 31 32 33 34 35 36 37 38 39 41 42 43 02 01 03");
  EXPECT_EQ(table.Record(3).State, kStateInitial);

  EXPECT_EQ(link.ProtocolVersion(5), kTimeout);
  EXPECT_EQ(Wire(3), "7E 05 BF 81 F0 03 14 01 02 6D 3A 7E");
  std::string trace = Trace();
  EXPECT_NE(trace.find("HDLC ... Reset Request"), std::string::npos);
  EXPECT_NE(trace.find("HDLC ... XID scan request"), std::string::npos);
  EXPECT_NE(trace.find("HDLC 003 Assign Address Request"), std::string::npos);
  EXPECT_NE(trace.find("HDLC 005 Protocol Version Request"), std::string::npos);
}

TEST_F(LinkTest, ConnectionFramesOnTheWire) {
  table.Record(1).RecvSeq = 5;
  table.Record(1).SendSeq = 6;
  EXPECT_EQ(link.Connect(1), kTimeout);
  EXPECT_EQ(Wire(0), "7E 01 93 8D B0 7E");
  EXPECT_EQ(table.Record(1).RecvSeq, 0);
  EXPECT_EQ(table.Record(1).SendSeq, 0);
  EXPECT_EQ(table.Record(1).State, kStateInitial);
  link.Disconnect(1);
  EXPECT_EQ(Wire(1), "7E 01 53 81 76 7E");
  uint8_t payload[AisgHdlc::kAnswerBuffer];
  link.Poll(1, payload);
  EXPECT_EQ(Wire(2), "7E 01 11 97 17 7E");
  link.AnswerFrame(Hex("03 73"));
  EXPECT_EQ(link.Connect(3), kSuccess);
  EXPECT_EQ(ToHex(link.SentContent(3)), "03 93");
  EXPECT_EQ(table.Record(3).State, kStateConnected);
  link.AnswerFrame(Hex("03 73"));
  EXPECT_EQ(link.Disconnect(3), kSuccess);
  EXPECT_EQ(table.Record(3).State, kStateDisconnected);
}

// Only UA accepts SNRM and DISC: a DM refuses, any other frame is out of
// place, and neither changes the ALD's state.
TEST_F(LinkTest, OnlyUaConfirmsConnectAndDisconnect) {
  link.AnswerFrame(Hex("03 1F"));
  EXPECT_EQ(link.Connect(3), kProtocolError);
  EXPECT_EQ(table.Record(3).State, kStateInitial);
  link.AnswerFrame(Hex("03 11"));
  EXPECT_EQ(link.Connect(3), kInvalidState);
  EXPECT_EQ(table.Record(3).State, kStateInitial);
  link.AnswerFrame(Hex("03 73"));
  ASSERT_EQ(link.Connect(3), kSuccess);
  link.AnswerFrame(Hex("03 1F"));
  EXPECT_EQ(link.Disconnect(3), kProtocolError);
  EXPECT_EQ(table.Record(3).State, kStateConnected);
  std::string trace = Trace();
  EXPECT_EQ(Count(trace, "HDLC 003 HDLC disconnect mode frame received"), 2u) << trace;
  EXPECT_EQ(Count(trace, "HDLC 003 Invalid frame received in this contest"), 1u) << trace;
}

// On a bus of several devices a frame from another address answers nobody
// here: it is traced and the operation fails, whatever the frame says.
TEST_F(LinkTest, AnswersFromAnotherAddressAreNoAnswers) {
  link.AnswerFrame(Hex("00 73"));
  EXPECT_EQ(link.Connect(3), kProtocolError);
  EXPECT_EQ(table.Record(3).State, kStateInitial);
  table.Record(3).State = kStateConnected;
  link.AnswerFrame(Hex("00 73"));
  EXPECT_EQ(link.Disconnect(3), kProtocolError);
  EXPECT_EQ(table.Record(3).State, kStateConnected);

  uint8_t payload[AisgHdlc::kAnswerBuffer] = {};
  link.AnswerFrame(Hex("05 10 07 02 00 01 02"));
  EXPECT_EQ(link.Poll(3, payload), kProtocolError);
  EXPECT_EQ(table.Record(3).MissedPolls, 1) << "no answer from the ALD polled";
  EXPECT_EQ(table.Record(3).RecvSeq, 0);

  link.AnswerFrame(Hex("00 BF 81 F0 03 14 01 01"));
  EXPECT_EQ(link.ProtocolVersion(3), kProtocolError);
  EXPECT_EQ(table.Record(3).AisgVersion, 0xFF);

  // The I-frame, and the polls that ask for its answer again, are all
  // answered from address 0.
  const uint8_t reset[] = {0x03, 0x00, 0x00};
  uint8_t answer[AisgHdlc::kAnswerBuffer] = {};
  for (int i = 0; i < 3; ++i) link.AnswerFrame(Hex("00 30 03 01 00 00"));
  EXPECT_EQ(link.SendIFrame(3, reset, answer), kProtocolError);
  EXPECT_EQ(table.Record(3).RecvSeq, 0);
  std::string trace = Trace();
  EXPECT_EQ(Count(trace, "HDLC 003 Answer from address 0 ignored, the frame was for address 3"), 6u) << trace;
  EXPECT_EQ(Count(trace, "HDLC 003 Answer from address 5 ignored, the frame was for address 3"), 1u) << trace;
}

TEST_F(LinkTest, SequenceNumbersCountIFrames) {
  link.AnswerFrame(Hex("03 73"));
  ASSERT_EQ(link.Connect(3), kSuccess);
  const uint8_t getInfo[] = {0x05, 0x00, 0x00};
  uint8_t answer[AisgHdlc::kAnswerBuffer] = {};
  link.AnswerFrame(Hex("03 30 05 02 00 00 41"));
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kSuccess);
  EXPECT_EQ(ToHex(link.SentContent(1)), "03 10 05 00 00");
  EXPECT_EQ(ToHex(answer, 5), "05 02 00 00 41");
  EXPECT_EQ(table.Record(3).SendSeq, 1);
  EXPECT_EQ(table.Record(3).RecvSeq, 1);

  uint8_t payload[AisgHdlc::kAnswerBuffer];
  link.AnswerFrame(Hex("03 31"));
  EXPECT_EQ(link.Poll(3, payload), kSuccess);
  EXPECT_EQ(ToHex(link.SentContent(2)), "03 31");

  // RR: accepted, no response yet; only V(S) moves.
  link.AnswerFrame(Hex("03 31"));
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kProcedureNotCompleted);
  EXPECT_EQ(link.SentContent(3)[1], 0x32);
  EXPECT_EQ(table.Record(3).SendSeq, 2);
  EXPECT_EQ(table.Record(3).RecvSeq, 1);

  // A time-out advances V(S) all the same.
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kTimeout);
  EXPECT_EQ(table.Record(3).SendSeq, 3);
  for (int i = 0; i < 5; ++i) link.SendIFrame(3, getInfo, answer);
  EXPECT_EQ(table.Record(3).SendSeq, 0);
  // Each unanswered I-frame is followed by the polls that ask for its answer.
  size_t lastIFrame = link.written.size() - 1 - AisgHdlc::kIFrameRetries;
  EXPECT_EQ(link.SentContent(lastIFrame)[1], 0x10 + 32 * 1 + 2 * 7);
  EXPECT_EQ(ToHex(link.SentContent(lastIFrame + 1)), "03 31");
}

TEST_F(LinkTest, IFrameAnswerKinds) {
  const uint8_t msg[] = {0x04, 0x00, 0x00};
  uint8_t answer[AisgHdlc::kAnswerBuffer];
  link.AnswerFrame(Hex("02 1F"));
  EXPECT_EQ(link.SendIFrame(2, msg, answer), kProtocolError);
  link.AnswerFrame(Hex("02 35"));  // RNR
  EXPECT_EQ(link.SendIFrame(2, msg, answer), kProcedureNotCompleted);
  link.AnswerFrame(Hex("02 73"));  // UA does not belong here
  EXPECT_EQ(link.SendIFrame(2, msg, answer), kInvalidState);
  link.AnswerFrame(Hex("02"));  // too short to hold a control octet
  EXPECT_EQ(link.SendIFrame(2, msg, answer), kInvalidState);
  std::string trace = Trace();
  EXPECT_NE(trace.find("HDLC 002 HDLC disconnect mode frame received"), std::string::npos);
  EXPECT_EQ(Count(trace, "HDLC ... Invalid frame received in this contest"), 2u);
}

// A lost, garbled or late answer to an I-frame: the ALD is polled for it and
// sends again what it has not had acknowledged; its N(R) tells whether the
// I-frame arrived at all, and only one that did not arrive is sent again,
// with the same N(S).
class IFrameRecoveryTest : public LinkTest {
 protected:
  const uint8_t getInfo[3] = {0x05, 0x00, 0x00};
  uint8_t answer[AisgHdlc::kAnswerBuffer] = {};

  void SetUp() override {
    link.AnswerFrame(Hex("03 73"));
    ASSERT_EQ(link.Connect(3), kSuccess);
    table.Record(3).SendSeq = 2;
    table.Record(3).RecvSeq = 1;
  }
  std::string Sent(size_t i) const { return ToHex(link.SentContent(i)); }
};

TEST_F(IFrameRecoveryTest, LostAnswerIsFetchedByAPoll) {
  link.AnswerNothing();
  link.AnswerFrame(Hex("03 72 05 02 00 00 41"));  // N(R) 3 acknowledges N(S) 2, N(S) 1
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kLayer7Notification);
  EXPECT_EQ(ToHex(answer, 5), "05 02 00 00 41");
  EXPECT_EQ(Sent(1), "03 34 05 00 00");
  EXPECT_EQ(Sent(2), "03 31");
  EXPECT_EQ(link.written.size(), 3u);
  EXPECT_EQ(table.Record(3).SendSeq, 3);
  EXPECT_EQ(table.Record(3).RecvSeq, 2);
  EXPECT_NE(Trace().find("HDLC 003 No answer to the I-frame (Timeout), polling for it"), std::string::npos);
}

TEST_F(IFrameRecoveryTest, GarbledAnswerOfALongProcedureLeavesItPending) {
  link.AnswerRaw(Hex("7E 03 71 00 00 7E"));  // the RR, its FCS broken
  link.AnswerFrame(Hex("03 71"));            // N(R) 3: the request arrived
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kProcedureNotCompleted);
  EXPECT_EQ(link.written.size(), 3u);
  EXPECT_EQ(table.Record(3).SendSeq, 3);
}

TEST_F(IFrameRecoveryTest, IFrameTheAldMissedIsSentAgainWithTheSameNs) {
  link.AnswerNothing();
  link.AnswerFrame(Hex("03 51"));  // N(R) 2: N(S) 2 never arrived
  link.AnswerFrame(Hex("03 72 05 02 00 00 41"));
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kSuccess);
  EXPECT_EQ(Sent(1), "03 34 05 00 00");
  EXPECT_EQ(Sent(2), "03 31");
  EXPECT_EQ(Sent(3), "03 34 05 00 00");
  EXPECT_EQ(table.Record(3).SendSeq, 3);
  EXPECT_EQ(table.Record(3).RecvSeq, 2);
}

// A message the ALD had queued comes back to the poll before the I-frame
// was received: it is counted, and the I-frame is sent again.
TEST_F(IFrameRecoveryTest, QueuedMessageBeforeTheIFrameArrived) {
  link.AnswerRaw({});
  link.AnswerFrame(Hex("03 52 07 02 00 01 02"));  // N(R) 2, N(S) 1: an alarm indication
  link.AnswerFrame(Hex("03 74 05 02 00 00 41"));
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kSuccess);
  EXPECT_EQ(Sent(3), "03 54 05 00 00") << "N(R) 2 now, N(S) 2 again";
  EXPECT_EQ(table.Record(3).RecvSeq, 3);
  EXPECT_EQ(ToHex(answer, 5), "05 02 00 00 41");
}

// Frames that came late from an earlier exchange, just ahead of the answer:
// their sequence numbers give them away, and the read goes on for the frame
// that answers. Only an I-frame in sequence is taken, by an I-frame exchange
// or a poll.
TEST_F(IFrameRecoveryTest, LateIFramesAheadOfTheAnswerArePassedOver) {
  link.AnswerFrame(Hex("03 50 04 02 00 00 00"));  // N(R) 2, N(S) 0: the answer before
  link.AnswerFrame(Hex("03 54 07 02 00 01 02"));  // N(S) 1 is right, N(R) 2 does not acknowledge ours
  link.AnswerFrame(Hex("03 72 05 02 00 00 41"));  // N(R) 3, N(S) 1
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kSuccess);
  EXPECT_EQ(ToHex(answer, 5), "05 02 00 00 41");
  EXPECT_EQ(link.written.size(), 2u) << "answered at the first request";
  EXPECT_EQ(table.Record(3).RecvSeq, 2);

  uint8_t payload[AisgHdlc::kAnswerBuffer] = {};
  link.AnswerFrame(Hex("03 72 05 02 00 00 41"));  // the same answer once more
  link.AnswerFrame(Hex("03 71"));
  EXPECT_EQ(link.Poll(3, payload), kSuccess);
  EXPECT_EQ(table.Record(3).RecvSeq, 2);
  EXPECT_EQ(table.Record(3).MissedPolls, 0);

  // Nothing but old frames: the exchange ends as one that got no answer.
  for (int i = 0; i < 20; ++i) link.AnswerFrame(Hex("03 72 05 02 00 00 41"));
  EXPECT_EQ(link.Poll(3, payload), kTimeout);
  EXPECT_EQ(table.Record(3).RecvSeq, 2);
  std::string trace = Trace();
  EXPECT_NE(trace.find("HDLC 003 I-frame with N(S) 0 N(R) 2 passed over: the answer carries N(S) 1 N(R) 3"),
            std::string::npos)
      << trace;
  EXPECT_NE(trace.find("HDLC 003 I-frame with N(S) 1 N(R) 3 passed over: the answer carries N(S) 2"),
            std::string::npos);
  EXPECT_EQ(trace.find("carries N(S) 2 N(R)"), std::string::npos) << "a poll acknowledges nothing";
}

// A reject names the N(S) the ALD expects: the frame goes again with it,
// and V(S) follows, so that the link stays in step.
TEST_F(IFrameRecoveryTest, RejectIsFollowedBySendingTheFrameItAsksFor) {
  link.AnswerFrame(Hex("03 39"));                 // REJ, N(R) 1
  link.AnswerFrame(Hex("03 52 05 02 00 00 41"));  // N(R) 2 acknowledges N(S) 1 sent again
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kSuccess);
  EXPECT_EQ(Sent(2), "03 32 05 00 00");
  EXPECT_EQ(table.Record(3).SendSeq, 2);
}

// Garbled answers show the ALD is there: it is polled on, up to a limit.
TEST_F(IFrameRecoveryTest, GarbledAnswersKeepThePollingGoing) {
  const std::vector<uint8_t> garbled = Hex("7E 03 72 05 02 00 00 41 00 00 7E");
  for (int i = 0; i < 5; ++i) link.AnswerRaw(garbled);
  link.AnswerFrame(Hex("03 72 05 02 00 00 41"));
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kLayer7Notification);
  EXPECT_EQ(link.written.size(), 1u + 1u + 5u);
  for (int i = 0; i < 20; ++i) link.AnswerRaw(garbled);
  size_t before = link.written.size();
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kProtocolError);
  EXPECT_EQ(link.written.size() - before, 1u + AisgHdlc::kIFrameRecoveryPolls);
}

TEST_F(IFrameRecoveryTest, RetriesAreBounded) {
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kTimeout);
  EXPECT_EQ(link.written.size(), 2u + AisgHdlc::kIFrameRetries);
  EXPECT_EQ(table.Record(3).SendSeq, 3) << "nobody said what became of the frame";
  for (int i = 0; i < 10; ++i) link.AnswerFrame(Hex("03 59"));  // REJ, N(R) 2, for ever
  size_t before = link.written.size();
  EXPECT_EQ(link.SendIFrame(3, getInfo, answer), kInvalidState);
  EXPECT_EQ(link.written.size() - before, 1u + AisgHdlc::kIFrameRetries);
  EXPECT_EQ(table.Record(3).SendSeq, 2) << "the ALD expects N(S) 2";
  EXPECT_NE(Trace().find("HDLC 003 I-frame not received by the ALD, given up"), std::string::npos);
}

TEST_F(LinkTest, OversizedMessageIsRefusedUnsent) {
  uint8_t msg[80] = {0x05, 77, 0};
  uint8_t answer[AisgHdlc::kAnswerBuffer];
  EXPECT_EQ(link.SendIFrame(2, msg, answer), kSoftwareError);
  EXPECT_TRUE(link.written.empty());
  EXPECT_EQ(table.Record(2).SendSeq, 0);
  msg[1] = 76;
  EXPECT_EQ(link.SendIFrame(2, msg, answer), kTimeout);
  EXPECT_EQ(link.SentContent(0).size(), 2u + 79u);
}

TEST(LinkControl, Classification) {
  EXPECT_EQ(AisgHdlc::ClassifyControl(0x10), FrameKind::I);
  EXPECT_EQ(AisgHdlc::ClassifyControl(0xFE), FrameKind::I);
  EXPECT_EQ(AisgHdlc::ClassifyControl(0x11), FrameKind::RR);
  EXPECT_EQ(AisgHdlc::ClassifyControl(0xF1), FrameKind::RR);
  EXPECT_EQ(AisgHdlc::ClassifyControl(0x05), FrameKind::RNR);
  EXPECT_EQ(AisgHdlc::ClassifyControl(0x09), FrameKind::Other);  // REJ
  EXPECT_EQ(AisgHdlc::ClassifyControl(0x0D), FrameKind::Other);  // SREJ
  EXPECT_EQ(AisgHdlc::ClassifyControl(0x0F), FrameKind::DM);
  EXPECT_EQ(AisgHdlc::ClassifyControl(0x1F), FrameKind::DM);
  EXPECT_EQ(AisgHdlc::ClassifyControl(0x73), FrameKind::Other);  // UA
  EXPECT_EQ(AisgHdlc::ClassifyControl(0xBF), FrameKind::Other);  // XID
}

TEST_F(LinkTest, ScanAnswerIsStoredInTheRecord) {
  const uint8_t zero = 0;
  AldRecord& scratch = table.Scratch();
  std::memcpy(scratch.UniqueId, "XX_LONGER_IDENTITY", 18);
  link.AnswerFrame(Hex("00 BF 81 F0 12 01 06 4B 41 30 30 30 31 04 01 11 06 02 4B 41 09 01 02"));
  EXPECT_EQ(link.XidScan(&zero, &zero, 0, &scratch), kSuccess);
  EXPECT_STREQ(scratch.UniqueId, "KA0001");
  EXPECT_EQ(scratch.UniqueIdLength, 6);
  EXPECT_EQ(scratch.DeviceType, kAldMultiRet);
  EXPECT_STREQ(scratch.VendorCode, "KA");
  EXPECT_EQ(scratch.AisgVersion, 2);
  EXPECT_NE(Trace().find("Received ALD Vendor: KA, UniqueId: KA0001, Type: Multi RET"), std::string::npos);
}

struct ParserCase {
  const char* name;
  const char* answer;
  ResultCode expected;
  size_t formatErrors;
};

TEST_F(LinkTest, ScanAnswerChecks) {
  const ParserCase cases[] = {
      {"unknown PI 5 skipped", "00 BF 81 F0 10 01 04 4B 41 30 31 05 01 09 04 01 01 06 02 4B 41", kSuccess, 1},
      {"no unique id", "00 BF 81 F0 03 04 01 01", kProtocolError, 1},
      {"device type 3", "00 BF 81 F0 09 01 04 4B 41 30 31 04 01 03", kProtocolError, 1},
      {"20-octet id", "00 BF 81 F0 16 01 14 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41",
       kProtocolError, 1},
      {"broadcast address", "00 BF 81 F0 09 01 04 4B 41 30 31 02 01 FF", kProtocolError, 1},
      {"version 3", "00 BF 81 F0 09 01 04 4B 41 30 31 09 01 03", kProtocolError, 1},
      {"bad format id", "00 BF 82 F0 06 01 04 4B 41 30 31", kProtocolError, 1},
      {"group length 0", "00 BF 81 F0 00", kProtocolError, 1},
      {"group length 80", "00 BF 81 F0 50 01 04 4B 41 30 31", kProtocolError, 1},
      {"group past content", "00 BF 81 F0 30 01 04 4B 41 30 31", kProtocolError, 1},
      {"parameter past content", "00 BF 81 F0 06 01 13 4B 41 30 31", kProtocolError, 1},
      {"parameters exceed group", "00 BF 81 F0 05 01 04 4B 41 30 31", kProtocolError, 1},
      {"header only", "00 BF 81", kProtocolError, 1},
  };
  const uint8_t zero = 0;
  for (const ParserCase& c : cases) {
    link.AnswerFrame(Hex(c.answer));
    EXPECT_EQ(int{link.XidScan(&zero, &zero, 1, &table.Scratch())}, int{c.expected}) << c.name;
    EXPECT_EQ(Count(Trace(), "ERR"), c.formatErrors) << c.name;
  }
}

TEST_F(LinkTest, AssignAddressMarksAddressedWhateverTheAnswer) {
  EXPECT_EQ(link.AssignAddress(4), kSoftwareError);
  EXPECT_TRUE(link.written.empty());
  EXPECT_NE(Trace().find("ERR"), std::string::npos);

  AddAld(4, "KA0004");
  link.AnswerFrame(Hex("04 BF 81 F0 0C 01 06 4B 41 30 30 30 34 06 02 4B 41"));
  EXPECT_EQ(link.AssignAddress(4), kProtocolError);
  EXPECT_EQ(table.Record(4).State, kStateAddressed);
  EXPECT_EQ(table.Record(4).Address, 4);
  EXPECT_NE(Trace().find("HDLC 004 AisgHdlc::AssignAddressResponse format error"), std::string::npos);

  AddAld(5, "KA0005");
  link.AnswerFrame(Hex("05 BF 81 F0 0B 01 06 4B 41 30 30 30 35 04 01 01"));
  EXPECT_EQ(link.AssignAddress(5), kSuccess);
  EXPECT_EQ(table.Record(5).State, kStateAddressed);

  AddAld(6, "KA0006");
  EXPECT_EQ(link.AssignAddress(6), kTimeout);
  EXPECT_EQ(table.Record(6).Address, 0);
}

// The ALD took the address only if the answer names the identifier that was
// assigned. Parameters and groups nobody asked for do not matter.
TEST_F(LinkTest, AssignmentAnswerMustNameTheAldAssigned) {
  AddAld(4, "KA0004");
  link.AnswerFrame(Hex("04 BF 81 F0 0B 01 06 4B 41 30 30 30 35 04 01 01"));  // KA0005
  EXPECT_EQ(link.AssignAddress(4), kProtocolError);
  EXPECT_EQ(table.Record(4).State, kStateInitial);
  EXPECT_EQ(table.Record(4).Address, 0);
  EXPECT_NE(Trace().find("HDLC 004 Address assignment answered by KA0005, not by the ALD assigned"), std::string::npos);
  link.AnswerFrame(Hex("04 BF 81 F0 0C 01 07 4B 41 30 30 30 34 35 04 01 01"));  // KA00045
  EXPECT_EQ(link.AssignAddress(4), kProtocolError);
  link.AnswerFrame(Hex("04 BF 81 F0 03 04 01 01"));  // names nobody
  EXPECT_EQ(link.AssignAddress(4), kProtocolError);
  EXPECT_EQ(table.Record(4).State, kStateInitial);

  // A group of another identifier ahead, an unknown parameter, a group after.
  link.AnswerFrame(Hex("04 BF 81 80 03 05 01 07 F0 0E 01 06 4B 41 30 30 30 34 04 01 01 0A 01 00 E0 02 01 00"));
  EXPECT_EQ(link.AssignAddress(4), kSuccess);
  EXPECT_EQ(table.Record(4).State, kStateAddressed);
  EXPECT_EQ(table.Record(4).Address, 4);
  const uint8_t zero = 0;
  link.AnswerFrame(Hex("00 BF 81 80 02 05 00 F0 0B 01 06 4B 41 30 30 30 39 04 01 02"));
  EXPECT_EQ(link.XidScan(&zero, &zero, 1, &table.Scratch()), kSuccess);
  EXPECT_STREQ(table.Scratch().UniqueId, "KA0009");
  link.AnswerFrame(Hex("05 BF 81 80 01 00 F0 03 14 01 01"));
  EXPECT_EQ(link.ProtocolVersion(5), kSuccess);
  EXPECT_EQ(table.Record(5).AisgVersion, 1);
  link.AnswerFrame(Hex("05 BF 81 80 09 00 F0 03 14 01 01"));  // the first group runs past the frame
  EXPECT_EQ(link.ProtocolVersion(5), kProtocolError);
}

TEST_F(LinkTest, ProtocolVersionAnswer) {
  link.AnswerFrame(Hex("05 BF 81 F0 03 14 01 03"));
  EXPECT_EQ(link.ProtocolVersion(5), kProtocolError);
  EXPECT_EQ(table.Record(5).AisgVersion, 0xFF);
  EXPECT_NE(Trace().find("HDLC 005 AisgHdlc::ProtocolVersionResponse format error"), std::string::npos);
  link.AnswerFrame(Hex("05 BF 81 F0 04 14 01 02 00"));
  EXPECT_EQ(link.ProtocolVersion(5), kProtocolError);
  link.AnswerFrame(Hex("05 BF 81 F0 06 14 01 01 14 01 02"));
  EXPECT_EQ(link.ProtocolVersion(5), kSuccess);
  EXPECT_EQ(table.Record(5).AisgVersion, 2);
}

class LossRecorder : public LinkObserver {
 public:
  void OnLinkLost(uint8_t address) override { lost.push_back(address); }
  std::vector<uint8_t> lost;
};

TEST_F(LinkTest, SixthFailedPollDeclaresLoss) {
  LossRecorder recorder;
  link.AddLinkObserver(&recorder);
  table.Record(2).State = kStateConnected;
  uint8_t payload[AisgHdlc::kAnswerBuffer];
  for (int i = 0; i < 5; ++i) EXPECT_EQ(link.Poll(2, payload), kTimeout);
  EXPECT_EQ(table.Record(2).State, kStateConnected);
  EXPECT_TRUE(recorder.lost.empty());
  // An answer in between starts the count again.
  link.AnswerFrame(Hex("02 11"));
  EXPECT_EQ(link.Poll(2, payload), kSuccess);
  EXPECT_EQ(table.Record(2).MissedPolls, 0);
  for (int i = 0; i < 5; ++i) link.Poll(2, payload);
  EXPECT_TRUE(recorder.lost.empty());
  link.AnswerRaw(Hex("7E 02 11 00 7E"));  // garbled counts as a failure
  EXPECT_EQ(link.Poll(2, payload), kProtocolError);
  EXPECT_EQ(table.Record(2).State, kStateDisconnected);
  EXPECT_EQ(recorder.lost, std::vector<uint8_t>{2});
  std::string trace = Trace();
  EXPECT_NE(trace.find("HDLC 002 Device lost polling"), std::string::npos);
  EXPECT_NE(trace.find("HDLC 002 Communication Lost"), std::string::npos);

  // A reconnection starts the count again: one failed poll after it does
  // not lose the ALD at once.
  link.AnswerFrame(Hex("02 73"));
  link.Connect(2);
  EXPECT_EQ(link.Poll(2, payload), kTimeout);
  EXPECT_NE(table.Record(2).State, kStateDisconnected);
  EXPECT_EQ(table.Record(2).MissedPolls, 1);
  EXPECT_EQ(recorder.lost.size(), 1u);
  link.RemoveLinkObserver(&recorder);
}

TEST_F(LinkTest, PollAnswerKinds) {
  table.Record(2).MissedPolls = 3;
  uint8_t payload[AisgHdlc::kAnswerBuffer] = {};
  link.AnswerFrame(Hex("02 1F"));
  EXPECT_EQ(link.Poll(2, payload), kProtocolError);
  EXPECT_EQ(table.Record(2).MissedPolls, 0);
  link.AnswerFrame(Hex("02 10 07 02 00 01 02"));
  EXPECT_EQ(link.Poll(2, payload), kLayer7Notification);
  EXPECT_EQ(ToHex(payload, 5), "07 02 00 01 02");
  EXPECT_EQ(table.Record(2).RecvSeq, 1);
  link.AnswerFrame(Hex("02 35"));
  EXPECT_EQ(link.Poll(2, payload), kSuccess);
  link.AnswerFrame(Hex("02 73"));
  EXPECT_EQ(link.Poll(2, payload), kInvalidState);
  std::string trace = Trace();
  EXPECT_NE(trace.find("HDLC 002 HDLC disconnect mode frame received"), std::string::npos);
  EXPECT_NE(trace.find("HDLC 002 HDLC RNR frame received"), std::string::npos);
  EXPECT_NE(trace.find("WRN"), std::string::npos);
  EXPECT_NE(trace.find("HDLC 002 Invalid frame received in this contest"), std::string::npos);
}

TEST_F(LinkTest, SuppressedPollClassSilencesOnlyTheExchange) {
  link.traceOctets = true;
  uint8_t payload[AisgHdlc::kAnswerBuffer];
  link.AnswerFrame(Hex("02 35"));
  link.Poll(2, payload);
  EXPECT_EQ(Count(Trace(), "COMM 002 "), 2u) << "the TX and RX lines of an ordinary poll";
  log.SetClassSuppressed("POLL", true);
  link.AnswerRaw(Hex("7E 02 35 00 00 7E"));  // garbled: the decoder's warning is the exchange's too
  link.Poll(2, payload);
  link.AnswerFrame(Hex("02 35"));
  link.Poll(2, payload);
  std::string quiet = Trace();
  EXPECT_EQ(Count(quiet, "COMM"), 0u) << quiet;
  EXPECT_EQ(Count(quiet, "Invalid hdlc frame received"), 0u) << quiet;
  EXPECT_EQ(Count(quiet, "HDLC 002 HDLC RNR frame received"), 1u) << quiet;
  EXPECT_TRUE(log.IsLogging());
  // The user's stop of the log outlasts the poll.
  log.SetLogging(false);
  link.Poll(2, payload);
  EXPECT_FALSE(log.IsLogging());
}

// A port failure inside a quiet poll: its own line is written, and so is
// everything after it.
TEST_F(LinkTest, QuietPollThatFailsLeavesTheTraceOn) {
  class FailingRead : public ScriptedHdlc {
   public:
    FailingRead(TraceLog& l, AldTable& t) : ScriptedHdlc(l, t), log(l) {}
    uint32_t Read(uint8_t*, uint32_t) override { throw ECommError(ECommError::kRead, log, 5); }
    TraceLog& log;
  } failing(log, table);
  log.SetClassSuppressed("POLL", true);
  uint8_t payload[AisgHdlc::kAnswerBuffer];
  EXPECT_THROW(failing.Poll(2, payload), ECommError);
  EXPECT_TRUE(log.IsLogging());
  log.Write(kTraceInfo, "MAIN", 0, "after the failure");
  std::string trace = Trace();
  EXPECT_NE(trace.find("COMM ... Exception raised. Check the connection!"), std::string::npos) << trace;
  EXPECT_NE(trace.find("MAIN ... after the failure"), std::string::npos) << trace;
}

// The worker thread's lines written while the user-interface thread runs a
// quiet poll all reach the trace.
TEST_F(LinkTest, QuietPollKeepsTheOtherThreadsLines) {
  link.traceOctets = true;
  log.SetClassSuppressed("POLL", true);
  link.onWrite = [&](const std::vector<uint8_t>&) {
    std::thread worker([&] { log.Write(kTraceInfo, "MAIN", 0, "Found: KA0000000042"); });
    worker.join();
  };
  uint8_t payload[AisgHdlc::kAnswerBuffer];
  link.AnswerFrame(Hex("02 11"));
  EXPECT_EQ(link.Poll(2, payload), kSuccess);
  std::string trace = Trace();
  EXPECT_NE(trace.find("MAIN ... Found: KA0000000042"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("COMM"), std::string::npos) << trace;
}

TEST_F(LinkTest, LateAnswerIsReadByTheNextExchange) {
  std::vector<uint8_t> late = ScriptedHdlc::Frame(Hex("01 73"));
  std::vector<uint8_t> own = ScriptedHdlc::Frame(Hex("02 73"));
  late.insert(late.end(), own.begin(), own.end());
  link.AnswerRaw(late);
  uint8_t answer[AisgHdlc::kAnswerBuffer];
  uint16_t length = 2;
  const uint8_t request[] = {0x02, 0x93};
  EXPECT_EQ(link.Exchange(request, answer, &length), kCollision);
  EXPECT_EQ(ToHex(answer, length), "01 73");
}

TEST_F(LinkTest, OverlongAnswerNeverOverrunsTheCallersBuffer) {
  std::vector<uint8_t> raw = {0x7E};
  raw.insert(raw.end(), 166, 0x42);
  raw.push_back(0x7E);
  link.AnswerRaw(raw);
  uint8_t answer[AisgHdlc::kAnswerBuffer + 4];
  std::memset(answer, 0xA5, sizeof answer);
  uint16_t length = 2;
  const uint8_t request[] = {0x02, 0x11};
  EXPECT_EQ(link.Exchange(request, answer, &length), kCrc16Error);
  EXPECT_EQ(length, 0);
  for (uint8_t b : answer) EXPECT_EQ(b, 0xA5);
  EXPECT_NE(Trace().find("WRN"), std::string::npos);
}

class FailingHdlc : public ScriptedHdlc {
 public:
  using ScriptedHdlc::ScriptedHdlc;
  uint32_t Read(uint8_t*, uint32_t) override { throw ECommError(ECommError::kRead, *log_, 5); }
  TraceLog* log_ = nullptr;
};

TEST_F(LinkTest, PortFailureReachesTheCaller) {
  FailingHdlc failing(log, table);
  failing.log_ = &log;
  uint8_t payload[AisgHdlc::kAnswerBuffer];
  EXPECT_THROW(failing.Poll(1, payload), ECommError);
  EXPECT_THROW(failing.ResetRequest(), ECommError);
  EXPECT_EQ(table.Record(1).MissedPolls, 0);
  EXPECT_NE(Trace().find("Exception raised. Check the connection!"), std::string::npos);
}

// Exchanges from two threads never overlap: each write is followed by its
// own read before the next write.
TEST_F(LinkTest, ExchangesFromTwoThreadsNeverOverlap) {
  std::atomic<int> inFlight{0};
  std::atomic<bool> overlapped{false};
  class Checked : public ScriptedHdlc {
   public:
    Checked(TraceLog& l, AldTable& t, std::atomic<int>& f, std::atomic<bool>& o)
        : ScriptedHdlc(l, t), flight(f), over(o) {}
    uint32_t Write(const uint8_t*, uint32_t n) override {
      if (flight.fetch_add(1) != 0) over = true;
      std::this_thread::yield();
      return n;
    }
    uint32_t Read(uint8_t*, uint32_t) override {
      std::this_thread::yield();
      flight.fetch_sub(1);
      return 0;
    }
    std::atomic<int>& flight;
    std::atomic<bool>& over;
  } checked(log, table, inFlight, overlapped);
  log.SetLogging(false);
  auto run = [&](uint8_t address) {
    uint8_t payload[AisgHdlc::kAnswerBuffer];
    for (int i = 0; i < 300; ++i) checked.Poll(address, payload);
  };
  std::thread a(run, 1);
  std::thread b(run, 2);
  a.join();
  b.join();
  EXPECT_FALSE(overlapped);
}

}  // namespace
