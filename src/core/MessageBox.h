#pragma once

#include <functional>
#include <string>

// Shows a printf-formatted text to the user in a modal box with an OK button.
// The text is not traced. The user interface installs a QMessageBox hook,
// tests a recorder; without a hook the text goes to standard error.
void ShowMessageBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
void SetMessageBoxHook(std::function<void(const std::string&)> hook);
