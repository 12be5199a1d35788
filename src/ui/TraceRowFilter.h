#pragma once

#include <cstdint>

// Which trace rows the output pane shows: the same rules the trace log uses
// to drop lines, so rows already in the list follow a change of the level,
// class or address switches at once.
struct TraceRowFilter {
  static constexpr int kLevelCount = 3;
  static constexpr int kClassCount = 5;
  static constexpr uint8_t kAllLevels = (1u << kLevelCount) - 1;
  static constexpr uint8_t kAllClasses = (1u << kClassCount) - 1;
  static constexpr uint8_t kNoAldFilter = 0xFF;

  uint8_t ShownLevels = kAllLevels;    // bit n: level n (ERR, WRN, INF)
  uint8_t ShownClasses = kAllClasses;  // bit n: class n of TraceLineStore::kClassTags
  uint8_t Ald = kNoAldFilter;          // 0xFF: every ALD; n: ALD n and lines for no ALD

  bool PassesAll() const { return ShownLevels == kAllLevels && ShownClasses == kAllClasses && Ald == kNoAldFilter; }
  bool operator==(const TraceRowFilter&) const = default;
};
