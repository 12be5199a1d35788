#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "persist/ProfileStore.h"

// A store that lives as long as the object: for tests and for the
// command-line tool, which must not touch the desktop user's settings.
class MemoryProfileStore : public ProfileStore {
 public:
  int32_t ReadInt(const std::string& key, int32_t defaultValue) override;
  std::string ReadString(const std::string& key, const std::string& defaultValue) override;
  void WriteInt(const std::string& key, int32_t value) override;
  void WriteString(const std::string& key, const std::string& value) override;
  void DeleteSection() override;

  bool Contains(const std::string& key) const { return values_.count(key) != 0; }
  size_t KeyCount() const { return values_.size(); }
  // Every key written, in the order of the writes.
  const std::vector<std::string>& Writes() const { return writes_; }

 private:
  std::map<std::string, std::variant<int32_t, std::string>> values_;
  std::vector<std::string> writes_;
};
