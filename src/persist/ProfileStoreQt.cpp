#include "persist/ProfileStoreQt.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace {
QString Q(const std::string& text) {
  return QString::fromStdString(text);
}
}  // namespace

ProfileStoreQt::ProfileStoreQt(const std::string& organization, const std::string& application,
                               const std::string& group)
    : settings_(
          std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, Q(organization), Q(application))),
      group_(group) {}

ProfileStoreQt::~ProfileStoreQt() = default;

int32_t ProfileStoreQt::ReadInt(const std::string& key, int32_t defaultValue) {
  QVariant value = settings_->value(Q(Path(key)));
  bool ok = false;
  int32_t number = value.isValid() ? value.toInt(&ok) : 0;
  // A value edited by hand into something that is not a number is as good
  // as missing.
  return ok ? number : defaultValue;
}

std::string ProfileStoreQt::ReadString(const std::string& key, const std::string& defaultValue) {
  QVariant value = settings_->value(Q(Path(key)));
  return value.isValid() ? value.toString().toStdString() : defaultValue;
}

void ProfileStoreQt::WriteInt(const std::string& key, int32_t value) {
  settings_->setValue(Q(Path(key)), value);
}

void ProfileStoreQt::WriteString(const std::string& key, const std::string& value) {
  settings_->setValue(Q(Path(key)), Q(value));
}

void ProfileStoreQt::DeleteSection() {
  settings_->remove(Q(group_));
}

// Each sync rewrites and syncs the whole file, which takes tens of
// milliseconds; a save of all keys syncs once.
void ProfileStoreQt::Flush() {
  settings_->sync();
}

std::string ProfileStoreQt::FilePath() const {
  return settings_->fileName().toStdString();
}
