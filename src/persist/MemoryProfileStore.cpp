#include "persist/MemoryProfileStore.h"

int32_t MemoryProfileStore::ReadInt(const std::string& key, int32_t defaultValue) {
  auto it = values_.find(key);
  if (it == values_.end() || !std::holds_alternative<int32_t>(it->second)) return defaultValue;
  return std::get<int32_t>(it->second);
}

std::string MemoryProfileStore::ReadString(const std::string& key, const std::string& defaultValue) {
  auto it = values_.find(key);
  if (it == values_.end() || !std::holds_alternative<std::string>(it->second)) return defaultValue;
  return std::get<std::string>(it->second);
}

void MemoryProfileStore::WriteInt(const std::string& key, int32_t value) {
  values_[key] = value;
  writes_.push_back(key);
}

void MemoryProfileStore::WriteString(const std::string& key, const std::string& value) {
  values_[key] = value;
  writes_.push_back(key);
}

void MemoryProfileStore::DeleteSection() {
  values_.clear();
}
