#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/TraceRowFilter.h"

// Every trace line the output pane has taken, kept compactly: the line text
// in large shared blocks and a 20-octet record per row, so a day of polling
// (millions of lines) costs little more than the text itself. Lines are cut
// into their fields at fixed positions, as the trace log writes them:
// level 0-2, time 4-15, class 17-20, ALD 22-24, message from 26.
class TraceLineStore {
 public:
  enum Field { kLevel, kTime, kClass, kAld, kMessage };
  static constexpr const char* kClassTags[TraceRowFilter::kClassCount] = {"MAIN", "COMM", "HDLC", "POLL", "AISG"};
  static constexpr uint8_t kOtherClass = TraceRowFilter::kClassCount;
  static constexpr uint16_t kOtherAld = 256;  // an ALD field that is none of "...", "ALL", 001-254

  struct Row {
    uint32_t Block;
    uint32_t Offset;
    uint32_t Length;
    uint32_t Number;  // the pane's line counter when the line was offered
    uint8_t Level;
    uint8_t ClassIndex;
    uint16_t Ald;
  };

  // Stores the line when it begins with "ERR", "WRN" or "INF" and returns
  // true; any other line is dropped.
  bool Add(std::string_view line, uint32_t number);
  void Clear();

  size_t Size() const { return rows_.size(); }
  const Row& At(size_t index) const { return rows_[index]; }
  std::string_view Text(size_t index) const;
  std::string_view FieldText(size_t index, Field field) const;
  bool Passes(size_t index, const TraceRowFilter& filter) const;
  // ALD numbers 1 to 254 that some row named since the store was made;
  // kept across Clear, so the pane's address box keeps its entries.
  const std::bitset<256>& SeenAlds() const { return seenAlds_; }

  static int LevelOf(std::string_view line);
  static uint8_t ClassOf(std::string_view line);
  static uint16_t AldOf(std::string_view line);
  static std::string_view Cut(std::string_view line, Field field);

 private:
  static constexpr size_t kBlockSize = 1 << 20;

  uint32_t Place(std::string_view line);

  std::vector<std::string> blocks_;
  std::vector<Row> rows_;
  std::bitset<256> seenAlds_;
};
