#include "sim/SimXid.h"

std::optional<std::vector<SimXid::Parameter>> SimXid::Parse(const uint8_t* content, size_t length) {
  if (length < 5 || content[2] != kFormat || content[3] != kGroup) return std::nullopt;
  size_t end = 5 + static_cast<size_t>(content[4]);
  if (end != length) return std::nullopt;
  std::vector<Parameter> parameters;
  size_t at = 5;
  while (at < end) {
    if (at + 2 > end) return std::nullopt;
    size_t valueLength = content[at + 1];
    if (at + 2 + valueLength > end) return std::nullopt;
    parameters.push_back({content[at], std::vector<uint8_t>(content + at + 2, content + at + 2 + valueLength)});
    at += 2 + valueLength;
  }
  return parameters;
}

std::vector<uint8_t> SimXid::Build(uint8_t address, const std::vector<Parameter>& parameters) {
  std::vector<uint8_t> content = {address, kControl, kFormat, kGroup, 0};
  for (const auto& p : parameters) {
    content.push_back(p.Id);
    content.push_back(static_cast<uint8_t>(p.Value.size()));
    content.insert(content.end(), p.Value.begin(), p.Value.end());
  }
  content[4] = static_cast<uint8_t>(content.size() - 5);
  return content;
}

const SimXid::Parameter* SimXid::FindParameter(const std::vector<Parameter>& parameters, uint8_t id) {
  for (const auto& p : parameters) {
    if (p.Id == id) return &p;
  }
  return nullptr;
}

std::vector<uint8_t> SimXid::PadUniqueId(const std::string& uniqueId) {
  std::vector<uint8_t> padded(kPaddedLength, 0);
  size_t n = uniqueId.size() < kPaddedLength ? uniqueId.size() : kPaddedLength;
  for (size_t i = 0; i < n && i < 2; ++i) padded[i] = static_cast<uint8_t>(uniqueId[i]);
  for (size_t i = 2; i < n; ++i) padded[kPaddedLength - (n - i)] = static_cast<uint8_t>(uniqueId[i]);
  return padded;
}

bool SimXid::ScanMatches(const std::string& uniqueId, const std::vector<uint8_t>& pattern,
                         const std::vector<uint8_t>& mask) {
  size_t n = pattern.size();
  if (mask.size() != n || n > kPaddedLength) return false;
  std::vector<uint8_t> padded = PadUniqueId(uniqueId);
  for (size_t i = 0; i < n; ++i) {
    // Octets past the vendor code line up with the right end of the padded form.
    size_t at = i < 2 ? i : kPaddedLength - n + i;
    if ((pattern[i] & mask[i]) != (padded[at] & mask[i])) return false;
  }
  return true;
}

bool SimXid::AssignMatches(const std::string& uniqueId, const std::vector<uint8_t>& given) {
  if (given.empty() || given.size() > uniqueId.size()) return false;
  size_t offset = uniqueId.size() - given.size();
  for (size_t i = 0; i < given.size(); ++i) {
    if (static_cast<uint8_t>(uniqueId[offset + i]) != given[i]) return false;
  }
  return true;
}
