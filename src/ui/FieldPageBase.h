#pragma once

#include <QPushButton>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bus/FieldPages.h"
#include "layer7/ResultCode.h"
#include "ui/DevicePage.h"
#include "ui/DevicePageParts.h"

class ColorEdit;
class QLabel;
struct AldRecord;
struct DeviceData;

// What the three device data field pages share: the ALD a read or write
// goes to, the field's read and write with their results shown, the boxes'
// texts through the field rules of bus/FieldPages, and the running caption
// of a button that runs a whole page.
class FieldPageBase : public DevicePage {
  Q_OBJECT

 public:
  FieldPageBase(const DevicePageParts& parts, QWidget* parent);

  static QString ControlName(int id);
  ColorEdit* Box(int id) const;
  QPushButton* Button(int id) const;
  // The field's own GET or SET button, hidden on the antenna and operator
  // pages ("get01", "set25").
  QPushButton* FieldButton(uint8_t field, bool set) const;
  static QString FieldButtonName(uint8_t field, bool set);

 protected:
  // Enter and Escape move on to the next control like Tab: neither may
  // close or trigger anything on a page.
  void keyPressEvent(QKeyEvent* event) override;

  // An ALD a page operation works on, fixed when the operation starts.
  struct Target {
    uint8_t Slot = 0;
    AldRecord* Ald = nullptr;
    uint8_t Subunit = 0;
    DeviceData* Data = nullptr;
  };
  // The current ALD and its current subunit's data; nothing, after the
  // warning trace, when no ALD is current.
  std::optional<Target> CurrentTarget();
  // The ALD of a slot with its selected subunit's data.
  Target TargetOf(uint8_t slot);
  // False once the ALD has left the table (a bus reset run meanwhile):
  // the operation then stops.
  bool StillThere(const Target& t) const;

  // One field read or written, its result shown with each button given.
  ResultCode ReadField(const Target& t, uint8_t field, std::initializer_list<QPushButton*> buttons);
  ResultCode WriteField(const Target& t, uint8_t field, std::initializer_list<QPushButton*> buttons);
  void ShowResults(ResultCode r, std::initializer_list<QPushButton*> buttons);

  // The field's boxes, in box order, are registered once when built.
  void SetFieldBoxes(uint8_t field, std::vector<ColorEdit*> boxes);
  // Names a row's boxes for screen readers after the label, which becomes
  // the first box's buddy: one box by the name alone, several by the name
  // and the word that tells each apart ("Gain band 1", "Rx Frequency Band
  // min").
  static void NameBoxes(QLabel* label, const std::vector<ColorEdit*>& boxes, const QString& name,
                        const QStringList& apart);
  void ShowField(uint8_t field, const DeviceData& data);
  // The texts of the field's boxes through its entry rule into data.
  FieldPages::Entry EnterField(uint8_t field, DeviceData& data);
  void ShowMessage(const std::string& text);

  // Between the steps of a whole-page run: the windows repaint, then the
  // page waits a little before the next exchange.
  void Step();
  // Runs f with the button disabled and captioned "RUNNING", then gives
  // the caption back, and the button enabled as the page's commands are.
  template <class F>
  void WhileRunning(QPushButton* button, const QString& caption, F&& f);
  // A button's operation: a serial port failure inside it is traced and
  // shown, and ends there.
  void Bind(QPushButton* button, const char* activity, std::function<void()> operation);

  // Boxes the user does not type into are disabled; a read-only one is
  // locked too.
  ColorEdit* MakeBox(int id, bool enabled, bool readOnly = false);
  QPushButton* MakeButton(int id, const QString& caption);
  QPushButton* MakeFieldButton(uint8_t field, bool set, bool visible, int id = 0);
  void EmptyBoxes();
  void ResetCaptions();
  bool CommandsOn() const { return commandsOn_; }
  void SetCommandsOn(bool on) { commandsOn_ = on; }

  DevicePageParts parts_;

 private:
  std::vector<std::pair<uint8_t, std::vector<ColorEdit*>>> fieldBoxes_;
  std::map<std::pair<uint8_t, bool>, QPushButton*> fieldButtons_;
  bool commandsOn_ = true;
};

template <class F>
void FieldPageBase::WhileRunning(QPushButton* button, const QString& caption, F&& f) {
  struct Restore {
    FieldPageBase* Page;
    QPushButton* Button;
    QString Caption;
    ~Restore() {
      Button->setText(Caption);
      Button->setEnabled(Page->CommandsOn());
    }
  } restore{this, button, caption};
  button->setEnabled(false);
  button->setText(tr("RUNNING"));
  f();
}
