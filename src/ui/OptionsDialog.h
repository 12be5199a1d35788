#pragma once

#include <QDialog>
#include <functional>

class PortInventory;
class Settings;

// The options dialog, bound to the settings.
class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // reopenPort opens the port again with the settings' port and baud rate
  // and reports the outcome ("Detect Port").
  OptionsDialog(Settings& settings, PortInventory& ports, std::function<void()> reopenPort,
                QWidget* parent = nullptr);

  // Whether "AldListFields" changed while the dialog was open.
  bool FieldSelectionChanged() const { return fieldsChanged_; }
  // Whether "Restore Default" was used: the window layout is then not saved
  // at exit.
  bool DefaultsRestored() const { return defaultsRestored_; }

 private:
  bool fieldsChanged_ = false;
  bool defaultsRestored_ = false;
};
