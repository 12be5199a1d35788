#pragma once

#include <optional>
#include <string>
#include <vector>

// The user's choice of a file to save to: a save dialog in the application,
// a scripted answer in tests.
class FileChooser {
 public:
  virtual ~FileChooser() = default;

  // Returns the chosen path, or nothing when the user cancelled. A name given
  // without an extension gets defaultSuffix. Filters read "Label (*.ext)",
  // the first one preselected; the chosen file need not exist yet.
  virtual std::optional<std::string> ChooseSaveFile(const std::string& defaultSuffix,
                                                    const std::vector<std::string>& filters) = 0;
};
