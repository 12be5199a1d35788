#pragma once

#include <cstdint>
#include <string>

// The user's settings store, seen through the one section the program keeps
// its keys in. A key that is missing, or holds something that is not of the
// type asked for, reads as the default.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  virtual int32_t ReadInt(const std::string& key, int32_t defaultValue) = 0;
  virtual std::string ReadString(const std::string& key, const std::string& defaultValue) = 0;
  // Writes and deletions are read back at once; they are sure to outlive
  // the process only after Flush.
  virtual void WriteInt(const std::string& key, int32_t value) = 0;
  virtual void WriteString(const std::string& key, const std::string& value) = 0;
  // Removes the section with every key and group below it.
  virtual void DeleteSection() = 0;
  virtual void Flush() {}
};
