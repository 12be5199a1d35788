#include "sim/SimXid.h"

#include <algorithm>
#include <cstring>

bool SimXid::Parse(const uint8_t* content, size_t length, Fields& fields) {
  fields.Count = 0;
  if (length < 5 || content[2] != kFormat || content[3] != kGroup) return false;
  size_t end = 5 + static_cast<size_t>(content[4]);
  if (end != length) return false;
  size_t at = 5;
  while (at < end) {
    if (at + 2 > end || fields.Count == Fields::kMax) return false;
    uint8_t valueLength = content[at + 1];
    if (at + 2 + valueLength > end) return false;
    fields.At[fields.Count++] = {content[at], valueLength, content + at + 2};
    at += 2 + static_cast<size_t>(valueLength);
  }
  return true;
}

bool SimXid::Field::Equals(const uint8_t* octets, size_t length) const {
  return Length == length && (length == 0 || std::memcmp(Value, octets, length) == 0);
}

const SimXid::Field* SimXid::Fields::Find(uint8_t id) const {
  for (size_t i = 0; i < Count; ++i) {
    if (At[i].Id == id) return &At[i];
  }
  return nullptr;
}

// Sized before it is filled: every device of a scanned bus answers with one.
std::vector<uint8_t> SimXid::Build(uint8_t address, std::span<const Field> parameters) {
  size_t group = 0;
  for (const auto& p : parameters) group += 2u + p.Length;
  std::vector<uint8_t> content(5 + group);
  content[0] = address;
  content[1] = kControl;
  content[2] = kFormat;
  content[3] = kGroup;
  content[4] = static_cast<uint8_t>(group);
  auto at = content.begin() + 5;
  for (const auto& p : parameters) {
    *at++ = p.Id;
    *at++ = p.Length;
    at = std::copy(p.Value, p.Value + p.Length, at);
  }
  return content;
}

std::vector<uint8_t> SimXid::PadUniqueId(const std::string& uniqueId) {
  std::vector<uint8_t> padded(kPaddedLength, 0);
  size_t n = uniqueId.size() < kPaddedLength ? uniqueId.size() : kPaddedLength;
  for (size_t i = 0; i < n && i < 2; ++i) padded[i] = static_cast<uint8_t>(uniqueId[i]);
  for (size_t i = 2; i < n; ++i) padded[kPaddedLength - (n - i)] = static_cast<uint8_t>(uniqueId[i]);
  return padded;
}

uint8_t SimXid::PaddedOctet(const std::string& uniqueId, size_t at) {
  size_t n = uniqueId.size() < kPaddedLength ? uniqueId.size() : kPaddedLength;
  if (at < 2) return at < n ? static_cast<uint8_t>(uniqueId[at]) : 0;
  // The padded form puts octet i (i >= 2) of n at kPaddedLength - (n - i).
  size_t i = at + n - kPaddedLength;
  return at + n >= kPaddedLength + 2 ? static_cast<uint8_t>(uniqueId[i]) : 0;
}

bool SimXid::ScanMatches(const std::string& uniqueId, const std::vector<uint8_t>& pattern,
                         const std::vector<uint8_t>& mask) {
  if (mask.size() != pattern.size()) return false;
  return ScanMatches(uniqueId, pattern.data(), mask.data(), pattern.size());
}

bool SimXid::ScanMatchesHeard(const std::string& uniqueId, const Field& pattern, const Field& mask) {
  if (mask.Length != pattern.Length) return false;
  return ScanMatches(uniqueId, pattern.Value, mask.Value, pattern.Length);
}

bool SimXid::ScanMatches(const std::string& uniqueId, const uint8_t* pattern, const uint8_t* mask, size_t n) {
  if (n > kPaddedLength) return false;
  for (size_t i = 0; i < n; ++i) {
    // Octets past the vendor code line up with the right end of the padded form.
    size_t at = i < 2 ? i : kPaddedLength - n + i;
    if ((pattern[i] & mask[i]) != (PaddedOctet(uniqueId, at) & mask[i])) return false;
  }
  return true;
}

bool SimXid::AssignMatches(const std::string& uniqueId, const std::vector<uint8_t>& given) {
  return AssignMatches(uniqueId, given.data(), given.size());
}

bool SimXid::AssignMatches(const std::string& uniqueId, const uint8_t* given, size_t length) {
  if (length == 0 || length > uniqueId.size()) return false;
  size_t offset = uniqueId.size() - length;
  for (size_t i = 0; i < length; ++i) {
    if (static_cast<uint8_t>(uniqueId[offset + i]) != given[i]) return false;
  }
  return true;
}
