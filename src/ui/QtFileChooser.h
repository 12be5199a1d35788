#pragma once

#include "persist/FileChooser.h"

class QWidget;

// The save-file dialog of the platform.
class QtFileChooser : public FileChooser {
 public:
  explicit QtFileChooser(QWidget* owner = nullptr) : owner_(owner) {}

  std::optional<std::string> ChooseSaveFile(const std::string& defaultSuffix,
                                            const std::vector<std::string>& filters) override;

 private:
  QWidget* owner_;
};
