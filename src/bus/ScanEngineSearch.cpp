// The search below the whole-bus scans: vendor codes character by character,
// then the identifier bit by bit. The vendor steps work on the one pair of
// working buffers and leave what they wrote for the steps after them; the
// bit search hands each half it asks about down as a cube of its own.

#include <algorithm>
#include <cstring>

#include "bus/ScanEngine.h"
#include "core/TraceLog.h"

namespace {

// Times in a row a device may answer alone and still not take its address
// before the search leaves it; and answers alone in a row that the search
// takes from one scan at all (after the first, only a device that ignores
// the address it took, or one that has just come up, answers again).
constexpr int kMaxStalls = 3;
constexpr int kMaxAlone = 8;

// Whatever reached the line, unless it is one well-formed answer, is
// several devices answering together.
bool IsCollision(ResultCode r) {
  return r != kSuccess && r != kTimeout;
}
bool IsAnswer(ResultCode r) {
  return r != kTimeout;
}
uint8_t Octet(char c) {
  return static_cast<uint8_t>(c);
}

}  // namespace

void ScanEngine::SetWorking(std::initializer_list<uint8_t> pattern, std::initializer_list<uint8_t> mask) {
  std::memset(pattern_, 0, sizeof pattern_);
  std::memset(mask_, 0, sizeof mask_);
  std::copy(pattern.begin(), pattern.end(), pattern_);
  std::copy(mask.begin(), mask.end(), mask_);
}

// The last octet of the buffer is never written, so the text always ends.
std::string ScanEngine::PatternText(const uint8_t* pattern) const {
  return std::string(reinterpret_cast<const char*>(pattern),
                     strnlen(reinterpret_cast<const char*>(pattern), kIdLength));
}

// Returns 1, or 0 when a nested step failed.
int ScanEngine::RangeScanVID_1(char from, char to, Search& s) {
  if (running_ == 0) return 1;
  for (signed char c = from; c <= to; ++c) {
    if (ScanFirstCharacter(c, s) == 0) return 0;
    if (s.AllFound) return 1;
  }
  return 1;
}

int ScanEngine::ScanFirstCharacter(char c, Search& s) {
  SetWorking({Octet(c)}, {0xFF});
  if (ScanMatching(pattern_, mask_, 1) == kSuccess && ScanMatching(pattern_, mask_, 1) == kTimeout) return 1;
  SetWorking({Octet(c), 0x00}, {0xFF, 0x10});
  if (IsCollision(ScanMatching(pattern_, mask_, 2))) {
    pattern_[1] = 0x00;
    mask_[1] = 0x08;
    if (IsAnswer(ScanMatching(pattern_, mask_, 2))) {
      if (RangeScanVID_2(c, 'A', 'G', s) == 0) return 0;
      if (s.AllFound) return 1;
    }
    pattern_[0] = Octet(c);
    pattern_[1] = 0x08;
    mask_[0] = 0xFF;
    mask_[1] = 0x08;
    if (IsAnswer(ScanMatching(pattern_, mask_, 2))) {
      if (RangeScanVID_2(c, 'H', 'O', s) == 0) return 0;
      if (s.AllFound) return 1;
    }
  }
  pattern_[0] = Octet(c);
  pattern_[1] = 0x10;
  mask_[0] = 0xFF;
  mask_[1] = 0x10;
  if (IsCollision(ScanMatching(pattern_, mask_, 2))) return RangeScanVID_2(c, 'P', 'Z', s);
  return 1;
}

int ScanEngine::RangeScanVID_2(char c1, char from, char to, Search& s) {
  for (signed char c2 = from; c2 <= to; ++c2) {
    s.VendorDone = false;
    SetWorking({Octet(c1), Octet(c2)}, {0xFF, 0xFF});
    ResultCode r = RangeScanVendor(pattern_, s);
    if (s.AllFound) return 1;
    if (r == kTimeout) continue;
    if (BisectVendor(s) == 0) return 0;
    if (s.AllFound) return 1;
  }
  return 1;
}

// The vendor code collided: its identifiers are told apart bit by bit.
// Once every device of it has answered alone, the whole bus is asked
// whether anything is left.
int ScanEngine::BisectVendor(Search& s) {
  ScanCube vendor = ScanCube::Vendor(pattern_[0], pattern_[1]);
  Resolve(vendor, true, s);
  if (Halted()) return 1;
  s.Resolved.push_back(vendor);
  s.VendorDone = true;
  VendorExhausted(vendor.Pattern, s);
  return 1;
}

// Enters every device of the vendor code that answers alone.
ResultCode ScanEngine::RangeScanVendor(const uint8_t* pattern, Search& s) {
  std::memset(mask_, 0, sizeof mask_);
  mask_[0] = 0xFF;
  mask_[1] = 0xFF;
  bool found = false;
  ResultCode r;
  while ((r = ScanMatching(pattern, mask_, 2)) == kSuccess) found = true;
  if (r != kTimeout) return r;
  s.VendorDone = true;
  if (!found) return kTimeout;
  return VendorExhausted(pattern, s);
}

// A whole bus that is quiet once a vendor code is exhausted ends the search.
ResultCode ScanEngine::VendorExhausted(const uint8_t* pattern, Search& s) {
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Found all of Vendor [%s]", PatternText(pattern).c_str());
  ResultCode r = ScanAllUntilTimeout();
  if (r == kTimeout) {
    s.AllFound = true;
    Debug("Scan all returned timeout to RangeScanVendor \n");
  }
  return r;
}

// Enters every device of the cube that can be told apart from the others,
// splitting the cube in halves on one identifier bit after the other until
// each device answers alone. severalKnown: the cube is known to hold
// several answering devices, so its own scan is skipped. Returns whether
// anything answered in the cube (true when it was not asked).
//
// The bits are taken from the vendor code first, then from the last octet
// of the identifier towards the vendor code, each from its lowest bit, the
// way serial numbers differ; the half with the bit set is asked first, so
// that a bit all devices have clear costs a single quiet scan.
bool ScanEngine::Resolve(const ScanCube& cube, bool severalKnown, Search& s) {
  if (Halted()) return true;
  for (const ScanCube& done : s.Resolved) {
    if (cube.Within(done)) return true;
  }
  bool complete = cube.Complete();
  bool answered = false;
  if (!(severalKnown || HoldsIdentical(cube)) || complete) {
    int stalls = 0;
    int alone = 0;
    bool taken = false;
    Heard heard;
    while ((heard = Listen(cube, taken)) == Heard::kAlone) {
      answered = true;
      // A device that answers alone yet does not take its address would
      // answer for ever.
      if (!taken) ++stalls;
      if (stalls >= kMaxStalls || ++alone >= kMaxAlone) return true;
    }
    if (heard == Heard::kNobody) return answered;
  }
  if (complete) {
    Identical(cube);
    return true;
  }
  static const int kOctetOrder[ScanCube::kLength] = {0, 1, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
  for (int octet : kOctetOrder) {
    for (int bit = 0; bit < 8; ++bit) {
      auto b = static_cast<uint8_t>(1u << bit);
      if ((cube.Mask[octet] & b) != 0) continue;
      bool setAnswered = Resolve(cube.Half(octet, b, true), false, s);
      Resolve(cube.Half(octet, b, false), !setAnswered, s);
      return true;
    }
  }
  return true;
}

// One device scan of the whole identifier length; a device that answers
// alone is entered, and taken tells whether it got its address and link.
ScanEngine::Heard ScanEngine::Listen(const ScanCube& cube, bool& taken) {
  ResultCode r = ScanMatching(cube.Pattern, cube.Mask, ScanCube::kLength);
  taken = r == kSuccess;
  if (Halted() || lastScan_ == kTimeout) return Heard::kNobody;
  return lastScan_ == kSuccess ? Heard::kAlone : Heard::kSeveral;
}

bool ScanEngine::HoldsIdentical(const ScanCube& cube) const {
  for (const ScanCube& id : identical_) {
    if (id.Within(cube)) return true;
  }
  return false;
}

void ScanEngine::Identical(const ScanCube& cube) {
  if (HoldsIdentical(cube)) return;
  identical_.push_back(cube);
  log_.Write(kTraceWarning, TraceClass::kMain, 0,
             "Several ALDs answer with the unique id %s: they cannot be told apart", cube.IdentifierText().c_str());
}
