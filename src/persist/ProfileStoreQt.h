#pragma once

#include <memory>
#include <string>

#include "persist/ProfileStore.h"

class QSettings;

// The user's settings as a QSettings INI file: <config folder>/<organization>/
// <application>.ini, keys in one group.
class ProfileStoreQt : public ProfileStore {
 public:
  ProfileStoreQt(const std::string& organization, const std::string& application, const std::string& group);
  ~ProfileStoreQt() override;
  ProfileStoreQt(const ProfileStoreQt&) = delete;
  ProfileStoreQt& operator=(const ProfileStoreQt&) = delete;

  int32_t ReadInt(const std::string& key, int32_t defaultValue) override;
  std::string ReadString(const std::string& key, const std::string& defaultValue) override;
  void WriteInt(const std::string& key, int32_t value) override;
  void WriteString(const std::string& key, const std::string& value) override;
  void DeleteSection() override;
  void Flush() override;

  std::string FilePath() const;

 private:
  std::string Path(const std::string& key) const { return group_ + "/" + key; }

  std::unique_ptr<QSettings> settings_;
  std::string group_;
};
