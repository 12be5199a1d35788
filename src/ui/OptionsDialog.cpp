#include "ui/OptionsDialog.h"

// TODO(#13): the dialog's pages and controls.
OptionsDialog::OptionsDialog(Settings& /*settings*/, PortInventory& /*ports*/, std::function<void()> /*reopenPort*/,
                             QWidget* parent)
    : QDialog(parent) {}
