#include "ui/TraceLineStore.h"

#include <algorithm>

namespace {

struct FieldSpan {
  size_t Start;
  size_t Length;
};

constexpr FieldSpan kFields[] = {{0, 3}, {4, 12}, {17, 4}, {22, 3}, {26, std::string_view::npos}};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string_view TraceLineStore::Cut(std::string_view line, Field field) {
  const FieldSpan& span = kFields[field];
  if (span.Start >= line.size()) return {};
  return line.substr(span.Start, span.Length);
}

int TraceLineStore::LevelOf(std::string_view line) {
  std::string_view level = Cut(line, kLevel);
  if (level == "ERR") return 0;
  if (level == "WRN") return 1;
  if (level == "INF") return 2;
  return -1;
}

uint8_t TraceLineStore::ClassOf(std::string_view line) {
  std::string_view tag = Cut(line, kClass);
  for (uint8_t i = 0; i < TraceRowFilter::kClassCount; ++i) {
    if (tag == kClassTags[i]) return i;
  }
  return kOtherClass;
}

uint16_t TraceLineStore::AldOf(std::string_view line) {
  std::string_view ald = Cut(line, kAld);
  if (ald == "...") return 0;
  if (ald == "ALL") return 0xFF;
  if (ald.size() != 3 || !IsDigit(ald[0]) || !IsDigit(ald[1]) || !IsDigit(ald[2])) return kOtherAld;
  int number = (ald[0] - '0') * 100 + (ald[1] - '0') * 10 + (ald[2] - '0');
  return number >= 1 && number <= 254 ? static_cast<uint16_t>(number) : kOtherAld;
}

// Lines never straddle two blocks; a line longer than a block gets a block
// of its own.
uint32_t TraceLineStore::Place(std::string_view line) {
  if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < line.size()) {
    blocks_.emplace_back();
    blocks_.back().reserve(std::max(kBlockSize, line.size()));
  }
  std::string& block = blocks_.back();
  auto offset = static_cast<uint32_t>(block.size());
  block.append(line);
  return offset;
}

bool TraceLineStore::Add(std::string_view line, uint32_t number) {
  int level = LevelOf(line);
  if (level < 0) return false;
  Row row{};
  row.Offset = Place(line);
  row.Block = static_cast<uint32_t>(blocks_.size() - 1);
  row.Length = static_cast<uint32_t>(line.size());
  row.Number = number;
  row.Level = static_cast<uint8_t>(level);
  row.ClassIndex = ClassOf(line);
  row.Ald = AldOf(line);
  if (row.Ald >= 1 && row.Ald <= 254) seenAlds_.set(row.Ald);
  rows_.push_back(row);
  return true;
}

void TraceLineStore::Clear() {
  std::vector<std::string>().swap(blocks_);
  std::vector<Row>().swap(rows_);
}

std::string_view TraceLineStore::Text(size_t index) const {
  const Row& row = rows_[index];
  return std::string_view(blocks_[row.Block]).substr(row.Offset, row.Length);
}

std::string_view TraceLineStore::FieldText(size_t index, Field field) const {
  return Cut(Text(index), field);
}

bool TraceLineStore::Passes(size_t index, const TraceRowFilter& filter) const {
  const Row& row = rows_[index];
  if ((filter.ShownLevels & (1u << row.Level)) == 0) return false;
  if (row.ClassIndex != kOtherClass && (filter.ShownClasses & (1u << row.ClassIndex)) == 0) return false;
  return filter.Ald == TraceRowFilter::kNoAldFilter || row.Ald == 0 || row.Ald == filter.Ald;
}
