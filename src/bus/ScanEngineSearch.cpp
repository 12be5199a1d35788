// The search below the whole-bus scans: vendor codes character by character,
// then the identifier bit by bit. Every step works on the one pair of
// working buffers and leaves what it wrote for the steps after it.

#include <algorithm>
#include <cstring>

#include "bus/ScanEngine.h"
#include "core/TraceLog.h"

namespace {

// Rounds of the bit search in a row that enter nothing before the vendor
// code is given up. Devices whose identifiers the masks cannot tell apart
// (the same identifier twice) would otherwise keep the search going for
// ever; a restart from the last position is likewise only made while the
// one it is nested in has entered something.
constexpr int kMaxStalls = 3;
constexpr int kRestartPosition = 3;

bool IsCollision(ResultCode r) {
  return r == kCollision || r == kProtocolError;
}
bool IsAnswer(ResultCode r) {
  return r == kSuccess || IsCollision(r);
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

// Repeats the bit search from the last position until the vendor code is
// exhausted.
int ScanEngine::BisectVendor(Search& s) {
  int stalls = 0;
  while (!s.VendorDone) {
    uint8_t before = found_;
    if (BisectPosition(idLength_, idLength_ - 1, s) == 0) return 0;
    if (s.VendorDone) break;
    stalls = found_ == before ? stalls + 1 : 0;
    if (stalls >= kMaxStalls) return GiveUpVendor(s);
  }
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
  log_.Write(kTraceInfo, TraceClass::kMain, 0, "Found all of Vendor [%s]", PatternText(pattern).c_str());
  r = ScanAllUntilTimeout();
  if (r == kTimeout) {
    s.AllFound = true;
    Debug("Scan all returned timeout to RangeScanVendor \n");
  }
  return r;
}

int ScanEngine::BisectPosition(uint8_t length, int position, Search& s) {
  if (BisectStep(length, position, s) == 0) return 0;
  for (;;) {
    if (s.VendorDone || s.AllFound) return 1;
    ResultCode r = ScanMatching(pattern_, mask_, length);
    if (r == kTimeout) {
      pattern_[position] = 0;
      mask_[position] = 0;
      return 1;
    }
    if (r == kSuccess) {
      if (RangeScanVendor(pattern_, s) == kTimeout) return 1;
      if (s.VendorDone || s.AllFound) return 1;
    }
    if (BisectStep(length, position, s) == 0) return 0;
  }
}

// The search never goes below position 0: once the restart from the last
// position has exhausted the vendor there is nothing left to descend for.
int ScanEngine::BisectStep(uint8_t length, int position, Search& s) {
  ResultCode r = ProbeByte(length, position, s);
  if (s.VendorDone || s.AllFound || r == kTimeout) return 1;
  if (position <= kRestartPosition && RestartBisect(s) == 0) return 0;
  if (position == 0) return 1;
  return BisectPosition(length, position - 1, s);
}

int ScanEngine::RestartBisect(Search& s) {
  if (s.Restarts > 0 && found_ == s.FoundAtRestart) return GiveUpVendor(s);
  Search outer = s;
  ++s.Restarts;
  s.FoundAtRestart = found_;
  int r = BisectVendor(s);
  s.Restarts = outer.Restarts;
  s.FoundAtRestart = outer.FoundAtRestart;
  return r;
}

int ScanEngine::GiveUpVendor(Search& s) {
  log_.Write(kTraceWarning, TraceClass::kMain, 0, "Devices of vendor [%.2s] could not be told apart",
             reinterpret_cast<const char*>(pattern_));
  s.VendorDone = true;
  return 1;
}

// Finds, bit by bit from the least significant, a value that the octet at
// this position has in some matching device.
ResultCode ScanEngine::ProbeByte(uint8_t length, int position, Search& s) {
  uint8_t acc = 0;
  for (int bit = 0; bit < 8; ++bit) {
    uint8_t v = static_cast<uint8_t>(acc | (1u << bit));
    pattern_[position] = v;
    mask_[position] = v;
    ResultCode r = ScanMatching(pattern_, mask_, length);
    if (r == kTimeout) continue;
    acc = v;
    if (r == kSuccess) return ExhaustProbed(s);
  }
  pattern_[position] = acc;
  mask_[position] = 0xFF;
  ResultCode r = ScanMatching(pattern_, mask_, length);
  if (r != kSuccess && r != kTimeout) return r;
  return ExhaustProbed(s);
}

ResultCode ScanEngine::ExhaustProbed(Search& s) {
  ResultCode r = RangeScanVendor(pattern_, s);
  return IsCollision(r) ? r : kTimeout;
}
