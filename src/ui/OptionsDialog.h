#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "core/Relaxed.h"

class FieldSelectionModel;
class PortInventory;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListView;
class QPushButton;
class Settings;
class TraceLog;

// The options dialog, bound to the settings: its controls are filled from
// the settings' members when it opens and written back to them by OK,
// Apply and Restore Default; Cancel takes nothing.
class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kTitle = "Application Options";
  static constexpr const char* kRestartText = "Restart the application to apply the settings!";
  static constexpr const char* kRestartDefaultsText = "Restart the application to apply the default settings!";
  static constexpr const char* kFixedBaud = "9600";

  // reopenPort opens the port again with the settings' port and baud rate
  // and reports the outcome ("Detect Port").
  OptionsDialog(Settings& settings, PortInventory& ports, std::function<void()> reopenPort, QWidget* parent = nullptr);
  // The same, tracing the adapter search to log instead of the
  // application's trace.
  OptionsDialog(Settings& settings, TraceLog& log, PortInventory& ports, std::function<void()> reopenPort,
                QWidget* parent = nullptr);

  // Whether "AldListFields" changed while the dialog was open.
  bool FieldSelectionChanged() const { return fieldsChanged_; }
  // Whether "Restore Default" was used: the window layout is then not saved
  // at exit.
  bool DefaultsRestored() const { return defaultsRestored_; }

  // A control by its id (1301 the port list, 1317 "Detect Port", ...).
  QWidget* Control(int id) const;
  FieldSelectionModel* FieldSelection() const { return fields_; }

  void done(int result) override;

 private:
  struct FlagControl {
    int Id;
    const char* Caption;
    Relaxed<int32_t> Settings::*Member;
    bool Shown;
  };
  static const std::vector<FlagControl>& FlagControls();

  QWidget* BuildPortGroup();
  QWidget* BuildFlagGroup(const char* title, const std::vector<int>& ids);
  QWidget* BuildFieldGroup();
  QLayout* BuildButtons();
  QCheckBox* Flag(int id) const;
  void FillControls();
  void FillPorts(const QString& wanted);
  void TakeControls();
  void OnDetectPort();
  void OnAutoDetectClicked(bool ticked);
  void OnApply();
  void OnOk();
  void OnRestoreDefault();

  Settings& settings_;
  TraceLog& log_;
  PortInventory& inventory_;
  std::function<void()> reopenPort_;
  QComboBox* portList_ = nullptr;
  QLineEdit* baudRate_ = nullptr;
  QLineEdit* scanMaxIterations_ = nullptr;
  QPushButton* detectPort_ = nullptr;
  QPushButton* cancel_ = nullptr;
  FieldSelectionModel* fields_ = nullptr;
  QListView* fieldList_ = nullptr;
  int32_t fieldsAtOpen_ = 0;
  bool fieldsChanged_ = false;
  bool defaultsRestored_ = false;
};
