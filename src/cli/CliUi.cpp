#include "cli/CliUi.h"

std::optional<std::string> CliUi::TakeError() {
  std::optional<std::string> error = std::move(error_);
  error_.reset();
  return error;
}

// Only errors matter here: the one information box of the bus (the
// reconnect count of a scan) has nothing to report in a fresh session.
void CliUi::ShowMessage(const std::string& title, const std::string& text, Icon icon) {
  if (icon != Icon::kError) return;
  if (!error_) error_ = title.empty() ? text : title + ": " + text;
}
