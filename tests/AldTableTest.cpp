#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TempDir.h"
#include "ald/AldTable.h"
#include "core/TraceLog.h"

namespace {

// Identifiers are octets from the wire, so they are given with their length
// and may hold NULs anywhere.
class FindUniqueIdTest : public ::testing::Test {
 protected:
  unsigned Enter(const std::string& id) {
    AldRecord scratch;
    std::memcpy(scratch.UniqueId, id.data(), id.size());
    scratch.UniqueIdLength = static_cast<uint8_t>(id.size());
    return table.Insert(scratch);
  }
  unsigned Find(const std::string& id) const { return table.FindUniqueId(id.data(), static_cast<unsigned>(id.size())); }

  TempDir dir;
  TraceLog log{dir.File("trace.txt")};
  AldTable table{log};
};

TEST_F(FindUniqueIdTest, WholeIdentifiersOfSlotsInUseMatch) {
  EXPECT_EQ(Enter("KA0000000001"), 1u);
  EXPECT_EQ(Enter("KB0000000002"), 2u);
  EXPECT_EQ(Find("KA0000000001"), 1u);
  EXPECT_EQ(Find("KB0000000002"), 2u);
  EXPECT_EQ(Find("KA000000000"), AldTable::kNoSlot);
  EXPECT_EQ(Find("KA00000000011"), AldTable::kNoSlot);
}

// A free slot's identifier is all NULs, yet it names no ALD.
TEST_F(FindUniqueIdTest, IdentifierStartingWithANulMatchesNoFreeSlot) {
  EXPECT_EQ(Find(std::string("\0KA01", 5)), AldTable::kNoSlot);
  EXPECT_EQ(Find(std::string(19, '\0')), AldTable::kNoSlot);
  EXPECT_EQ(Enter(std::string("\0KA01", 5)), 1u);
  EXPECT_EQ(Find(std::string("\0KA01", 5)), 1u);
  EXPECT_EQ(Find(std::string("\0KA0", 4)), AldTable::kNoSlot);
}

TEST_F(FindUniqueIdTest, IdentifiersDifferingOnlyAfterANulOrInLengthAreDifferent) {
  EXPECT_EQ(Enter(std::string("KA1\0X", 5)), 1u);
  EXPECT_EQ(Find(std::string("KA1\0Y", 5)), AldTable::kNoSlot);
  EXPECT_EQ(Find("KA1"), AldTable::kNoSlot);
  EXPECT_EQ(Find(std::string("KA1\0", 4)), AldTable::kNoSlot);
  EXPECT_EQ(Enter(std::string("KA1\0Y", 5)), 2u);
  EXPECT_EQ(Find(std::string("KA1\0Y", 5)), 2u);
  EXPECT_EQ(Find(std::string("KA1\0X", 5)), 1u);
}

}  // namespace
