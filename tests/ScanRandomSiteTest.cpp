#include <random>
#include <set>

#include "StationFixture.h"
#include "sim/SimXid.h"

namespace {

// Sites built from a seed, so that a failure is found again with its seed.
// Each one is a kind of site that the search has to tell apart: identifiers
// of any vendor and length, long shared tails that differ next to the vendor
// code only, long shared beginnings of different lengths, runs of serial
// numbers, and vendor codes outside the letters.
class SiteGenerator {
 public:
  explicit SiteGenerator(uint32_t seed) : random_(seed), kind_(seed % 5) {}

  std::vector<std::string> Identifiers() {
    size_t count = 1 + Below(random_() % 8 == 0 ? 120 : 40);
    std::string shared = Text(8 + Below(10));
    std::vector<std::string> ids;
    for (int tries = 0; ids.size() < count && tries < 100000; ++tries) {
      std::string id = Next(shared, ids.size());
      if (TellsApart(id, ids)) ids.push_back(id);
    }
    return ids;
  }

  std::string Type() {
    static const char* const kTypes[] = {"singleRet", "multiRet", "tma"};
    return kTypes[Below(3)];
  }
  int Subunits(const std::string& type) { return type == "singleRet" ? 1 : 1 + static_cast<int>(Below(3)); }
  VirtualBus::Collisions Collisions() {
    return Below(2) == 0 ? VirtualBus::Collisions::kConcat : VirtualBus::Collisions::kGarble;
  }

 private:
  std::string Next(const std::string& shared, size_t index) {
    switch (kind_) {
      case 0: return Vendor() + Text(Below(18));
      case 1: return Vendor(2) + Text(1 + Below(3)) + shared;
      case 2: return Vendor(2) + shared.substr(0, 1 + Below(shared.size())) + Text(Below(3));
      case 3: return Vendor(3) + std::to_string(100000 + 7 * index + Below(7));
      default: return std::string(1, Printable()) + Printable() + Text(Below(18));
    }
  }
  std::string Vendor(size_t among = 8) {
    static const char* const kVendors[] = {"KA", "AN", "CS", "ZZ", "HW", "ka", "1Z", "@~"};
    return kVendors[Below(among)];
  }
  std::string Text(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += Below(4) == 0 ? Printable() : static_cast<char>('0' + Below(10));
    return text;
  }
  // Flag and escape octets (~ and }) included.
  char Printable() { return static_cast<char>(0x21 + Below(0x7F - 0x21)); }
  size_t Below(size_t n) { return random_() % n; }

  // A scan tells identifiers apart by their padded form; an address is
  // taken by every device whose identifier ends with the one assigned.
  static bool TellsApart(const std::string& id, const std::vector<std::string>& ids) {
    if (id.size() < 2 || id.size() > 19) return false;
    for (const std::string& other : ids) {
      if (SimXid::PadUniqueId(id) == SimXid::PadUniqueId(other)) return false;
      if (SimXid::AssignMatches(id, {other.begin(), other.end()})) return false;
      if (SimXid::AssignMatches(other, {id.begin(), id.end()})) return false;
    }
    return true;
  }

  std::mt19937 random_;
  uint32_t kind_;
};

class RandomSiteTest : public StationTest, public ::testing::WithParamInterface<uint32_t> {};

}  // namespace

TEST_P(RandomSiteTest, EveryDeviceIsFoundAddressedAndConnectedOnce) {
  SiteGenerator site(GetParam());
  std::vector<json> devices;
  for (const std::string& id : site.Identifiers()) {
    std::string type = site.Type();
    devices.push_back(Device(type, id, site.Subunits(type)));
  }
  collisions = site.Collisions();
  AddDevices(devices);
  engine.Run();
  EXPECT_FALSE(engine.IsRunning());
  ExpectAllConnected(devices.size());
  EXPECT_TRUE(Traced(Format("Found: [%zu]", devices.size())));
  EXPECT_FALSE(Traced("Several ALDs answer")) << "a device seen twice";
  EXPECT_TRUE(messages.All().empty());
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomSiteTest, ::testing::Range(1u, 301u));
