#include "ui/FieldPageBase.h"

#include <QKeyEvent>
#include <QLabel>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/CommFailureReporter.h"
#include "bus/FieldAccess.h"
#include "bus/SelectedAld.h"
#include "bus/UserMessages.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/DataFieldId.h"
#include "ui/CaptionColor.h"
#include "ui/ColorEdit.h"
#include "ui/DevicePageOwner.h"

namespace {

constexpr int kStepPauseMs = 25;

// Subunits are numbered from 1; a single RET's one antenna is subunit 0.
size_t BlockOf(const AldRecord& ald) {
  uint8_t n = ald.SelectedSubunit;
  bool numbered = ald.DeviceType == kAldMultiRet || ald.DeviceType == kAldTma;
  return numbered && n >= 1 && n <= AldRecord::kMaxSubunits ? n - 1u : 0u;
}

}  // namespace

FieldPageBase::FieldPageBase(const DevicePageParts& parts, QWidget* parent) : DevicePage(parent), parts_(parts) {}

void FieldPageBase::keyPressEvent(QKeyEvent* event) {
  int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
    focusNextChild();
    return;
  }
  DevicePage::keyPressEvent(event);
}

QString FieldPageBase::ControlName(int id) {
  return QStringLiteral("ctl%1").arg(id);
}

ColorEdit* FieldPageBase::Box(int id) const {
  return findChild<ColorEdit*>(ControlName(id));
}

QPushButton* FieldPageBase::Button(int id) const {
  return findChild<QPushButton*>(ControlName(id));
}

QString FieldPageBase::FieldButtonName(uint8_t field, bool set) {
  return QStringLiteral("%1%2").arg(set ? "set" : "get").arg(field, 2, 16, QLatin1Char('0'));
}

QPushButton* FieldPageBase::FieldButton(uint8_t field, bool set) const {
  auto at = fieldButtons_.find({field, set});
  return at == fieldButtons_.end() ? nullptr : at->second;
}

std::optional<FieldPageBase::Target> FieldPageBase::CurrentTarget() {
  uint8_t slot = SelectedSlot(parts_.Table);
  if (slot == 0) {
    parts_.Log.Write(kTraceWarning, TraceClass::kMain, kTraceNoAld, "You must select a device first!");
    return std::nullopt;
  }
  AldRecord* ald = parts_.Table.CurrentAld();
  return Target{slot, ald, ald->SelectedSubunit, parts_.Table.CurrentDeviceData()};
}

FieldPageBase::Target FieldPageBase::TargetOf(uint8_t slot) {
  AldRecord& ald = parts_.Table.Record(slot);
  return Target{slot, &ald, ald.SelectedSubunit, &ald.Subunits[BlockOf(ald)].Data};
}

bool FieldPageBase::StillThere(const Target& t) const {
  return t.Ald->InUse != 0 && t.Ald->Address == t.Slot;
}

void FieldPageBase::ShowResults(ResultCode r, std::initializer_list<QPushButton*> buttons) {
  for (QPushButton* button : buttons) parts_.Owner.ShowResult(r, button);
}

ResultCode FieldPageBase::ReadField(const Target& t, uint8_t field, std::initializer_list<QPushButton*> buttons) {
  ResultCode r = FieldAccess::Get(parts_.Layer7, *t.Ald, t.Subunit, field, *t.Data);
  ShowResults(r, buttons);
  if (r == kSuccess) ShowField(field, *t.Data);
  return r;
}

// The procedures send from the current ALD's current subunit: once another
// ALD or subunit has become current meanwhile, this target's value is no
// longer what they would send.
ResultCode FieldPageBase::WriteField(const Target& t, uint8_t field, std::initializer_list<QPushButton*> buttons) {
  if (parts_.Table.CurrentDeviceData() != t.Data) {
    parts_.Log.Write(kTraceWarning, TraceClass::kMain, t.Slot, "%s not sent: another ALD was selected meanwhile",
                     DataFieldName(field).c_str());
    return kSoftwareError;
  }
  ResultCode r = FieldAccess::Set(parts_.Layer7, *t.Ald, t.Subunit, field);
  ShowResults(r, buttons);
  return r;
}

void FieldPageBase::SetFieldBoxes(uint8_t field, std::vector<ColorEdit*> boxes) {
  fieldBoxes_.emplace_back(field, std::move(boxes));
}

void FieldPageBase::NameBoxes(QLabel* label, const std::vector<ColorEdit*>& boxes, const QString& name,
                              const QStringList& apart) {
  if (boxes.empty()) return;
  label->setBuddy(boxes.front());
  if (boxes.size() == 1) {
    boxes.front()->setAccessibleName(name);
    return;
  }
  for (size_t i = 0; i < boxes.size(); ++i) {
    QString word = static_cast<qsizetype>(i) < apart.size() ? apart[static_cast<qsizetype>(i)] : QString::number(i + 1);
    boxes[i]->setAccessibleName(name + QLatin1Char(' ') + word);
  }
}

void FieldPageBase::ShowField(uint8_t field, const DeviceData& data) {
  std::vector<std::string> texts = FieldPages::ShownTexts(field, data);
  for (auto& [f, boxes] : fieldBoxes_) {
    if (f != field) continue;
    for (size_t i = 0; i < boxes.size() && i < texts.size(); ++i) boxes[i]->setText(QString::fromStdString(texts[i]));
  }
}

FieldPages::Entry FieldPageBase::EnterField(uint8_t field, DeviceData& data) {
  std::vector<std::string> texts;
  for (auto& [f, boxes] : fieldBoxes_) {
    if (f != field) continue;
    for (ColorEdit* box : boxes) texts.push_back(box->text().toStdString());
  }
  return FieldPages::ApplyEntry(field, texts, data);
}

void FieldPageBase::ShowMessage(const std::string& text) {
  parts_.Messages.ShowMessage("", text, UserMessages::Icon::kNone);
}

void FieldPageBase::Step() {
  PumpMessages();
  parts_.Owner.Pause(kStepPauseMs);
}

void FieldPageBase::Bind(QPushButton* button, const char* activity, std::function<void()> operation) {
  connect(button, &QPushButton::clicked, this, [this, activity, operation = std::move(operation)] {
    CommFailureReporter(parts_.Log, parts_.Messages).Guard(activity, operation);
  });
}

ColorEdit* FieldPageBase::MakeBox(int id, bool enabled, bool readOnly) {
  auto* box = new ColorEdit(this);
  box->setObjectName(ControlName(id));
  box->SetLocked(readOnly);
  box->setEnabled(enabled);
  return box;
}

QPushButton* FieldPageBase::MakeButton(int id, const QString& caption) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(ControlName(id));
  button->setFont(font());
  CaptionColor::Set(button, CaptionColor::kBlack);
  return button;
}

// The antenna and operator pages keep their fields' own buttons hidden:
// they carry the results of a whole-page run field by field.
QPushButton* FieldPageBase::MakeFieldButton(uint8_t field, bool set, bool visible, int id) {
  QPushButton* button = MakeButton(id, set ? tr("SET") : tr("GET"));
  if (!id) button->setObjectName(FieldButtonName(field, set));
  if (!visible) button->hide();
  fieldButtons_[{field, set}] = button;
  return button;
}

void FieldPageBase::EmptyBoxes() {
  for (auto& [f, boxes] : fieldBoxes_) {
    for (ColorEdit* box : boxes) box->clear();
  }
}

void FieldPageBase::ResetCaptions() {
  for (QPushButton* button : findChildren<QPushButton*>()) CaptionColor::Set(button, CaptionColor::kBlack);
}
