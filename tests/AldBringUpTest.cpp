// Bringing found ALDs up when frames are lost: the scan's assignment,
// protocol version and connection, the listing's subunit count, and the
// transfers, each against an answer that is lost, late or garbled.

#include "StationFixture.h"
#include "bus/AldSetup.h"
#include "sim/SimXid.h"

namespace {

using Fault = SimHdlc::AnswerFault;

// The frames whose answers are spoiled, by what they ask.
bool IsAssignment(const std::vector<uint8_t>& c) {
  if (c.size() < 5 || c[0] != 0xFF || c[1] != 0xBF) return false;
  SimXid::Fields fields;
  return SimXid::Parse(c.data(), c.size(), fields) && fields.Find(SimXid::kPiAddress) != nullptr;
}
bool IsVersionRequest(const std::vector<uint8_t>& c) {
  return c.size() >= 2 && c[0] != 0xFF && c[1] == 0xBF;
}
bool IsConnect(const std::vector<uint8_t>& c) {
  return c.size() == 2 && c[1] == 0x93;
}
bool IsSubunitCount(const std::vector<uint8_t>& c) {
  return c.size() >= 3 && (c[1] & 1) == 0 && (c[2] == 0x88 || c[2] == 0x79);
}

struct SpoiledStep {
  const char* Name;
  bool (*Asks)(const std::vector<uint8_t>&);
  Fault What;
};

std::string Describe(const ::testing::TestParamInfo<SpoiledStep>& info) {
  static const char* const kFaults[] = {"None", "Lost", "Late", "Garbled"};
  return std::string(info.param.Name) + kFaults[static_cast<int>(info.param.What)];
}

}  // namespace

class BringUpTest : public StationTest {
 protected:
  // A single RET, a three-antenna multi RET and a two-subunit TMA.
  void AddSite() {
    AddDevices({Device("singleRet", "KA0000801234567"), Device("multiRet", "CS7000RM0000420", 3),
                Device("tma", "TW21800045", 2)});
  }
  // Spoils the answer to the first n frames that ask.
  void Spoil(bool (*asks)(const std::vector<uint8_t>&), Fault fault, int n = 1) {
    auto left = std::make_shared<int>(n);
    link.answerFault = [asks, fault, left](const std::vector<uint8_t>& content) {
      if (!asks(content) || *left == 0) return Fault::kNone;
      --*left;
      return fault;
    };
  }
  unsigned SlotOf(const std::string& uniqueId) {
    for (unsigned slot = 1; slot <= table.AldCount(); ++slot) {
      if (table.UniqueIdText(slot) == uniqueId) return slot;
    }
    ADD_FAILURE() << uniqueId << " not in the table";
    return 0;
  }
};

class OneSpoiledAnswer : public BringUpTest, public ::testing::WithParamInterface<SpoiledStep> {};

// One lost, late or garbled answer no longer leaves an ALD half set up: it
// ends addressed, connected, with its version and all its subunits known.
TEST_P(OneSpoiledAnswer, EveryAldComesUpWhole) {
  AddSite();
  Spoil(GetParam().Asks, GetParam().What);
  ScanAndList();
  ExpectAllConnected(3);
  for (unsigned slot = 1; slot <= 3; ++slot) {
    EXPECT_EQ(table.Record(slot).AisgVersion, 2) << slot;
    EXPECT_EQ(view.properties[slot].Status, "CONNECTED") << slot;
  }
  EXPECT_EQ(table.Record(SlotOf("CS7000RM0000420")).SubunitCount, 3);
  EXPECT_EQ(table.Record(SlotOf("TW21800045")).SubunitCount, 2);
  EXPECT_EQ(view.keys.size(), 1u + 3u + 2u);
  EXPECT_FALSE(Traced("ALD left"));
}

INSTANTIATE_TEST_SUITE_P(Steps, OneSpoiledAnswer,
                         ::testing::Values(SpoiledStep{"Assignment", IsAssignment, Fault::kLost},
                                           SpoiledStep{"Assignment", IsAssignment, Fault::kLate},
                                           SpoiledStep{"Version", IsVersionRequest, Fault::kLost},
                                           SpoiledStep{"Version", IsVersionRequest, Fault::kLate},
                                           SpoiledStep{"Version", IsVersionRequest, Fault::kGarbled},
                                           SpoiledStep{"Connect", IsConnect, Fault::kLost},
                                           SpoiledStep{"Connect", IsConnect, Fault::kLate},
                                           SpoiledStep{"SubunitCount", IsSubunitCount, Fault::kLost},
                                           SpoiledStep{"SubunitCount", IsSubunitCount, Fault::kLate},
                                           SpoiledStep{"SubunitCount", IsSubunitCount, Fault::kGarbled}),
                         Describe);

// A device that never answers its version request stays addressed, and the
// user is told why; the scan goes on and finds the others.
TEST_F(BringUpTest, AldThatCannotBeBroughtUpSaysWhy) {
  AddSite();
  Spoil(IsVersionRequest, Fault::kLost, 1 + AldSetup::kRetries);
  ScanAndList();
  ASSERT_EQ(table.AldCount(), 3u);
  unsigned first = 1;
  EXPECT_EQ(table.Record(first).State, kStateAddressed);
  EXPECT_EQ(view.properties[first].Status, "ADDRESSED (Protocol Version Request failed: Timeout)");
  EXPECT_EQ(TraceCount(Format("MAIN %03u ALD left ADDRESSED: Protocol Version Request failed: Timeout", first)), 1u);
  for (unsigned slot = 2; slot <= 3; ++slot) EXPECT_EQ(table.Record(slot).State, kStateConnected) << slot;
  // Brought up by hand later, it no longer shows the old failure.
  table.SelectAld(first);
  ASSERT_EQ(commands.ConnectSelected(), kSuccess);
  EXPECT_EQ(AldSetup::StatusText(table.Record(first)), "CONNECTED");
}

// Every answer to the assignment is lost, yet the device took its address:
// it answers no scan after that, so the next scan must reach it by its
// identifier, or it stays out of use for good.
TEST_F(BringUpTest, AldWhoseAssignmentWentUnansweredComesUpWithTheNextScan) {
  AddSite();
  Spoil(IsAssignment, Fault::kLost, 1 + AldSetup::kRetries);
  ScanAndList();
  ASSERT_EQ(table.AldCount(), 3u);
  unsigned first = 1;
  bus.WithDevice(DeviceIn(first), [&](SimAld& d) { EXPECT_EQ(d.Address(), first); });
  EXPECT_EQ(view.properties[first].Status, "DISCONNECTED (Assign Address Request failed: Timeout)");
  EXPECT_EQ(TraceCount(Format("MAIN %03u ALD left DISCONNECTED: Assign Address Request failed: Timeout", first)), 1u);

  engine.Run();
  ExpectAllConnected(3);
  EXPECT_EQ(AldSetup::StatusText(table.Record(first)), "CONNECTED");
  EXPECT_TRUE(Traced(Format("MAIN %03u Reconnected Successfully", first)));
}

// The multi RET goes silent once asked for its antennas.
TEST_F(BringUpTest, UnknownSubunitCountIsShown) {
  AddSite();
  auto silent = std::make_shared<int>(0);
  link.answerFault = [silent](const std::vector<uint8_t>& content) {
    if (IsSubunitCount(content) && content[2] == 0x88) *silent = content[0];
    return !content.empty() && content[0] == *silent ? Fault::kLost : Fault::kNone;
  };
  ScanAndList();
  unsigned multi = SlotOf("CS7000RM0000420");
  EXPECT_EQ(table.Record(multi).State, kStateConnected);
  EXPECT_EQ(view.properties[multi].Status, "CONNECTED (Subunit count request failed: Timeout)");
  EXPECT_TRUE(Traced(Format("MAIN %03u ALD left CONNECTED: Subunit count request failed: Timeout", multi)));
}

// Firmware and configuration transfers on a line that corrupts one answer
// in twenty and loses or delays a few more: every block arrives once.
TEST_F(BringUpTest, TransfersCompleteOnANoisyLine) {
  AddDevices({Device("singleRet", "KA0000801234567")});
  ScanAndList();
  ASSERT_EQ(table.Record(1).State, kStateConnected);
  std::vector<uint8_t> image(20000);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    SimFaults faults;
    faults.FcsShare = 0.05;
    faults.DropShare = 0.01;
    faults.LateShare = 0.01;
    faults.Seed = seed;
    bus.SetFaults(faults);
    ASSERT_EQ(layer7.TransferConfigData(1, image.data(), 5000), kSuccess) << "seed " << seed;
    ASSERT_EQ(layer7.TransferFirmware(1, image.data(), image.size()), kSuccess) << "seed " << seed;
    bus.WithDevice(0, [&](SimAld& d) {
      EXPECT_EQ(d.Downloads(), seed);
      EXPECT_EQ(d.LastDownloadOctets(), image.size());
    });
    // The device restarts without its address after a download.
    bus.SetFaults(SimFaults{});
    clock.Advance(10000);
    ASSERT_EQ(link.AssignAddress(1), kSuccess);
    ASSERT_EQ(link.Connect(1), kSuccess);
  }
  EXPECT_TRUE(Traced("No answer to the I-frame"));
}
