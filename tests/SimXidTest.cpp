#include <gtest/gtest.h>

#include "Hex.h"
#include "SimHarness.h"
#include "sim/SimXid.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

TEST(SimScanMatch, PaddingPutsTheSerialAtTheRightEnd) {
  EXPECT_EQ(ToHex(SimXid::PadUniqueId("KA1234")), "4B 41 00 00 00 00 00 00 00 00 00 00 00 00 00 31 32 33 34");
  std::string full = "KA12345678901234567";
  EXPECT_EQ(SimXid::PadUniqueId(full), Pattern(full));
}

TEST(SimScanMatch, EmptyPatternMatchesEveryIdentifier) {
  EXPECT_TRUE(SimXid::ScanMatches("KA1234", {}, {}));
  EXPECT_TRUE(SimXid::ScanMatches("ZZ", {}, {}));
}

TEST(SimScanMatch, OneOctetComparesTheFirstCharacterUnderItsMask) {
  EXPECT_TRUE(SimXid::ScanMatches("KA1234", {'K'}, {0xFF}));
  EXPECT_FALSE(SimXid::ScanMatches("AN1234", {'K'}, {0xFF}));
  // Bit 0x08 set: 'H' to 'O' (and more) match, 'A' does not.
  EXPECT_TRUE(SimXid::ScanMatches("KA1234", {0x08}, {0x08}));
  EXPECT_FALSE(SimXid::ScanMatches("AN1234", {0x08}, {0x08}));
  // A zero mask octet compares nothing.
  EXPECT_TRUE(SimXid::ScanMatches("AN1234", {'K'}, {0x00}));
}

TEST(SimScanMatch, TwoOctetsCompareTheVendorCode) {
  EXPECT_TRUE(SimXid::ScanMatches("KA1234", Pattern("KA"), {0xFF, 0xFF}));
  EXPECT_FALSE(SimXid::ScanMatches("KB1234", Pattern("KA"), {0xFF, 0xFF}));
  // Second character with bit 0x10 set ('P' to 'Z'): KA no, KR yes.
  EXPECT_FALSE(SimXid::ScanMatches("KA1234", {'K', 0x10}, {0xFF, 0x10}));
  EXPECT_TRUE(SimXid::ScanMatches("KR1234", {'K', 0x10}, {0xFF, 0x10}));
}

TEST(SimScanMatch, LongerPatternsAlignTheirTailWithTheRightEnd) {
  // n = 3: the third pattern octet is the identifier's last character,
  // however long the identifier is.
  EXPECT_TRUE(SimXid::ScanMatches("KA1234", Pattern("KA4"), {0xFF, 0xFF, 0xFF}));
  EXPECT_TRUE(SimXid::ScanMatches("KA99999994", Pattern("KA4"), {0xFF, 0xFF, 0xFF}));
  EXPECT_FALSE(SimXid::ScanMatches("KA1235", Pattern("KA4"), {0xFF, 0xFF, 0xFF}));
  // n = 5: the last three characters.
  EXPECT_TRUE(SimXid::ScanMatches("KA1234", Pattern("KA234"), Bytes(5, 0xFF)));
  EXPECT_FALSE(SimXid::ScanMatches("KA1234", Pattern("KA123"), Bytes(5, 0xFF)));
  // n = 19 at the deepest position as a primary's bit search uses it: the
  // last octet with bit 0x01 set matches '1', '3', ... but not '4'.
  Bytes pattern(19, 0), mask(19, 0);
  pattern[0] = 'K', pattern[1] = 'A', mask[0] = mask[1] = 0xFF;
  pattern[18] = mask[18] = 0x01;
  EXPECT_TRUE(SimXid::ScanMatches("KA1233", pattern, mask));
  EXPECT_FALSE(SimXid::ScanMatches("KA1234", pattern, mask));
}

TEST(SimScanMatch, PaddingOctetsAreZeroAndCanBeTested) {
  Bytes pattern = SimXid::PadUniqueId("KA1234");
  Bytes mask(19, 0xFF);
  EXPECT_TRUE(SimXid::ScanMatches("KA1234", pattern, mask));
  // "KA01234" differs from "KA1234" only in a padding position.
  EXPECT_FALSE(SimXid::ScanMatches("KA01234", pattern, mask));
  pattern[10] = 0x30;
  EXPECT_FALSE(SimXid::ScanMatches("KA1234", pattern, mask));
}

TEST(SimScanMatch, MalformedPatternsMatchNothing) {
  EXPECT_FALSE(SimXid::ScanMatches("KA1234", Pattern("KA"), {0xFF}));
  EXPECT_FALSE(SimXid::ScanMatches("KA1234", Bytes(20, 0), Bytes(20, 0)));
}

TEST(SimAssignMatch, IdentifierMustEndWithTheGivenOctets) {
  EXPECT_TRUE(SimXid::AssignMatches("KA1234", Pattern("KA1234")));
  EXPECT_TRUE(SimXid::AssignMatches("KA1234", Pattern("234")));
  EXPECT_FALSE(SimXid::AssignMatches("KA1234", Pattern("KA123")));
  EXPECT_FALSE(SimXid::AssignMatches("KA1234", Pattern("XKA1234")));
  EXPECT_FALSE(SimXid::AssignMatches("KA1234", {}));
}

class SimXidBus : public ::testing::Test {
 protected:
  SimHarness sim;
};

TEST_F(SimXidBus, ScanAnswerComesFromAddressZeroWithIdentity) {
  sim.Add({{"type", "multiRet"}, {"uniqueId", "CS7000RM42"}, {"subunits", {{}, {}}}});
  SimHarness::Reply r = sim.Exchange(SimHarness::Scan({}, {}));
  ASSERT_EQ(r.Result, kSuccess);
  EXPECT_EQ(ToHex(r.Content), "00 BF 81 F0 16 01 0A 43 53 37 30 30 30 52 4D 34 32 04 01 11 06 02 43 53 09 01 02");
}

TEST_F(SimXidBus, OnlyMatchingUnaddressedDevicesAnswer) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Add(SimHarness::SingleRet("AN0002"));
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kCollision);
  EXPECT_EQ(sim.Exchange(SimHarness::Scan(Pattern("ZZ"), {0xFF, 0xFF})).Result, kTimeout);
  SimHarness::Reply one = sim.Exchange(SimHarness::Scan(Pattern("AN"), {0xFF, 0xFF}));
  ASSERT_EQ(one.Result, kSuccess);
  EXPECT_EQ(Bytes(one.Content.begin() + 7, one.Content.begin() + 13), Pattern("AN0002"));

  // Once addressed, a device keeps quiet in scans.
  SimHarness::Reply assigned = sim.Exchange(SimHarness::Assign("AN0002", 7));
  ASSERT_EQ(assigned.Result, kSuccess);
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kSuccess);
}

TEST_F(SimXidBus, AssignmentAnswersFromTheNewAddress) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  SimHarness::Reply r = sim.Exchange(SimHarness::Assign("KA0001", 3));
  ASSERT_EQ(r.Result, kSuccess);
  EXPECT_EQ(ToHex(r.Content), "03 BF 81 F0 0F 01 06 4B 41 30 30 30 31 04 01 01 06 02 4B 41");
}

TEST_F(SimXidBus, AssignmentComparesTypeAndVendorWhenGiven) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  auto id = SimHarness::Parameter(1, Pattern("0001"));
  auto address = SimHarness::Parameter(2, {4});
  EXPECT_EQ(sim.Exchange(SimHarness::Xid(0xFF, {id, address, SimHarness::Parameter(4, {2})})).Result, kTimeout);
  EXPECT_EQ(sim.Exchange(SimHarness::Xid(0xFF, {id, address, SimHarness::Parameter(6, Pattern("AN"))})).Result,
            kTimeout);
  EXPECT_EQ(sim.Exchange(SimHarness::Assign("XKA0001", 4)).Result, kTimeout);
  EXPECT_EQ(sim.Exchange(SimHarness::Xid(0xFF, {id, address, SimHarness::Parameter(4, {1}),
                                                SimHarness::Parameter(6, Pattern("KA"))}))
                .Result,
            kSuccess);
  EXPECT_EQ(sim.Connect(4).Content, Hex("04 73"));
}

TEST_F(SimXidBus, BroadcastResetMakesDevicesForgetAddressAndLinkSilently) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Attach("KA0001", 2);
  EXPECT_EQ(sim.Poll(2).Content, Hex("02 11"));
  EXPECT_EQ(sim.Exchange(Hex("FF BF 81 F0 02 07 00")).Result, kTimeout);
  EXPECT_EQ(sim.Poll(2).Result, kTimeout);
  EXPECT_EQ(sim.Exchange(SimHarness::Scan({}, {})).Result, kSuccess);
  // Addressed again, it starts disconnected.
  sim.Exchange(SimHarness::Assign("KA0001", 2));
  EXPECT_EQ(sim.Poll(2).Content, Hex("02 1F"));
}

TEST_F(SimXidBus, ProtocolVersionIsAnsweredWithVersionTwo) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  sim.Exchange(SimHarness::Assign("KA0001", 5));
  SimHarness::Reply r = sim.Exchange(Hex("05 BF 81 F0 03 14 01 02"));
  EXPECT_EQ(r.Result, kSuccess);
  EXPECT_EQ(ToHex(r.Raw), "7E 05 BF 81 F0 03 14 01 02 6D 3A 7E");
}

TEST_F(SimXidBus, WholeBusScanOfAPrimaryMatchesAsciiIdentifiers) {
  sim.Add(SimHarness::SingleRet("KA0001"));
  Bytes pattern(19, 0), mask(19, 0);
  mask[0] = 0x80;
  EXPECT_EQ(sim.Exchange(SimHarness::Scan(pattern, mask)).Result, kSuccess);
  pattern[0] = 0x80;
  EXPECT_EQ(sim.Exchange(SimHarness::Scan(pattern, mask)).Result, kTimeout);
}

}  // namespace
