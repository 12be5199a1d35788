#include "ui/TmaOperationPage.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/SelectedAld.h"
#include "bus/TmaPage.h"
#include "bus/UserMessages.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "ui/CaptionColor.h"
#include "ui/DevicePageOwner.h"

namespace {

QString ControlName(int id) {
  return QStringLiteral("ctl%1").arg(id);
}

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

TmaOperationPage::TmaOperationPage(const DevicePageParts& parts, PageWindowCalls calls, QWidget* parent)
    : DevicePage(parent), parts_(parts), calls_(std::move(calls)) {
  setObjectName(QStringLiteral("tmaPage"));
  Build();
}

// Gain, mode and functions a row each, their buttons on the left in the
// columns of the RET page's; the functions' four values below them.
void TmaOperationPage::Build() {
  auto* grid = new QGridLayout(this);
  grid->addWidget(MakeButton(kGetGainButton, tr("GET GAIN")), 0, 0);
  grid->addWidget(MakeButton(kSetGainButton, tr("SET GAIN")), 0, 1);
  auto* gain = new QLineEdit(this);
  gain->setObjectName(ControlName(kGainBox));
  gain->setAccessibleName(tr("Gain"));
  gain->setAlignment(Qt::AlignCenter);
  gain->setPlaceholderText(tr("dB"));
  grid->addWidget(gain, 0, 2);
  grid->addWidget(MakeButton(kGetModeButton, tr("GET MODE")), 1, 0);
  grid->addWidget(MakeButton(kSetModeButton, tr("SET MODE")), 1, 1);
  auto* modes = new QWidget(this);
  modes->setAccessibleName(tr("Mode"));
  auto* modeRow = new QHBoxLayout(modes);
  modeRow->setContentsMargins(0, 0, 0, 0);
  auto* group = new QButtonGroup(this);
  for (auto [id, caption] : {std::pair{kNormalButton, "Normal"}, std::pair{kBypassButton, "Bypass"}}) {
    auto* radio = new QRadioButton(tr(caption), modes);
    radio->setObjectName(ControlName(id));
    group->addButton(radio, id);
    modeRow->addWidget(radio);
  }
  grid->addWidget(modes, 1, 2);
  grid->addWidget(MakeButton(kGetFunctionsButton, tr("GET FUNCTION")), 2, 0, Qt::AlignBottom);
  AddBox(kFlagsBox, tr("Flags"), 2, 1);
  AddBox(kMinGainBox, tr("Min Gain"), 3, 0);
  AddBox(kMaxGainBox, tr("Max Gain"), 3, 1);
  AddBox(kGainResolutionBox, tr("Gain Res"), 3, 2);
  grid->setRowStretch(4, 1);
  Bind(kGetGainButton, "Get Gain", &TmaOperationPage::GetGain);
  Bind(kSetGainButton, "Set Gain", &TmaOperationPage::SetGain);
  Bind(kGetModeButton, "Get Mode", &TmaOperationPage::GetMode);
  Bind(kSetModeButton, "Set Mode", &TmaOperationPage::SetMode);
  Bind(kGetFunctionsButton, "Get Functions", &TmaOperationPage::GetFunctions);
}

// A small label over its box.
QLineEdit* TmaOperationPage::AddBox(int id, const QString& label, int row, int column) {
  auto* cell = new QWidget(this);
  auto* layout = new QVBoxLayout(cell);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  auto* box = new QLineEdit(cell);
  box->setObjectName(ControlName(id));
  box->setReadOnly(true);
  box->setAlignment(Qt::AlignCenter);
  auto* caption = new QLabel(label, cell);
  caption->setBuddy(box);
  layout->addWidget(caption);
  layout->addWidget(box);
  auto* grid = static_cast<QGridLayout*>(this->layout());
  grid->addWidget(cell, row, column);
  return box;
}

QPushButton* TmaOperationPage::MakeButton(int id, const QString& caption) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(ControlName(id));
  button->setAutoDefault(false);
  CaptionColor::Set(button, CaptionColor::kBlack);
  return button;
}

void TmaOperationPage::Bind(int id, const char* activity, void (TmaOperationPage::*operation)()) {
  connect(Button(id), &QPushButton::clicked, this, [this, activity, operation] {
    if (calls_.Guard) {
      calls_.Guard(activity, [this, operation] { (this->*operation)(); });
    } else {
      (this->*operation)();
    }
  });
}

QLineEdit* TmaOperationPage::Box(int id) const {
  return findChild<QLineEdit*>(ControlName(id));
}
QPushButton* TmaOperationPage::Button(int id) const {
  return findChild<QPushButton*>(ControlName(id));
}
QRadioButton* TmaOperationPage::Radio(int id) const {
  return findChild<QRadioButton*>(ControlName(id));
}

AldRecord* TmaOperationPage::RequireSubunit(int button) {
  if (SelectedSlot(parts_.Table) == 0) {
    parts_.Log.Write(kTraceWarning, TraceClass::kMain, kTraceNoAld, "You must select a device first!");
    return nullptr;
  }
  AldRecord* ald = parts_.Table.CurrentAld();
  if (ald->SelectedSubunit == 0) {
    parts_.Owner.ShowResult(kProtocolError, Button(button));
    return nullptr;
  }
  return ald;
}

// ---- Gain ----

void TmaOperationPage::GetGain() {
  AldRecord* ald = RequireSubunit(kGetGainButton);
  if (!ald) return;
  DeviceData& data = *parts_.Table.CurrentDeviceData();
  ResultCode r = parts_.Layer7.TmaGetGain(ald->Address, ald->SelectedSubunit, data.TmaGain);
  data.TmaGainValid = r == kSuccess;
  parts_.Owner.ShowResult(r, Button(kGetGainButton));
  if (r == kSuccess) {
    Box(kGainBox)->setText(Text(TmaPage::GainText(data.TmaGain)));
  } else {
    Box(kGainBox)->clear();
  }
}

// Only a gain the subunit allows is sent, checked against its limits and
// resolution read now: the octet cut from any other entry would reach the
// amplifier as a different gain (70 dB as 6 dB, a negative gain wrapped).
void TmaOperationPage::SetGain() {
  AldRecord* ald = RequireSubunit(kSetGainButton);
  if (!ald) return;
  QPushButton* button = Button(kSetGainButton);
  ResultCode r = ReadFunctions(*ald);
  ShowFunctions(r);
  if (r != kSuccess) {
    parts_.Owner.ShowResult(r, button);
    return;
  }
  const DeviceData& data = *parts_.Table.CurrentDeviceData();
  TmaPage::GainCheck check =
      TmaPage::CheckGain(Box(kGainBox)->text().toStdString(),
                         {data.TmaFunctionsMinGain, data.TmaFunctionsMaxGain, data.TmaFunctionsGainResolution});
  if (check.Verdict != TmaPage::GainCheck::Status::kOk) {
    parts_.Messages.ShowMessage("", check.Message, UserMessages::Icon::kNone);
    return;
  }
  r = parts_.Layer7.TmaSetGain(ald->Address, ald->SelectedSubunit, check.Quarters);
  parts_.Owner.ShowResult(r, button);
  if (r != kSuccess) Box(kGainBox)->clear();
}

// ---- Mode ----

void TmaOperationPage::ShowMode(uint8_t mode) {
  // A mode that is neither leaves both buttons unmarked.
  Radio(kNormalButton)->group()->setExclusive(false);
  Radio(kNormalButton)->setChecked(mode == TmaPage::kModeNormal);
  Radio(kBypassButton)->setChecked(mode == TmaPage::kModeBypass);
  Radio(kNormalButton)->group()->setExclusive(true);
}

void TmaOperationPage::GetMode() {
  AldRecord* ald = RequireSubunit(kGetModeButton);
  if (!ald) return;
  DeviceData& data = *parts_.Table.CurrentDeviceData();
  ResultCode r = parts_.Layer7.TmaGetMode(ald->Address, ald->SelectedSubunit, data.TmaMode);
  data.TmaModeValid = r == kSuccess;
  parts_.Owner.ShowResult(r, Button(kGetModeButton));
  if (r == kSuccess) {
    ShowMode(data.TmaMode);
  } else {
    parts_.Log.Write(kTraceError, TraceClass::kMain, ald->Address, "Failed to get TMA Mode!");
  }
}

void TmaOperationPage::SetMode() {
  AldRecord* ald = RequireSubunit(kSetModeButton);
  if (!ald) return;
  uint8_t mode = Radio(kNormalButton)->isChecked() ? TmaPage::kModeNormal : TmaPage::kModeBypass;
  ResultCode r = parts_.Layer7.TmaSetMode(ald->Address, ald->SelectedSubunit, mode);
  parts_.Owner.ShowResult(r, Button(kSetModeButton));
  if (r == kSuccess) {
    GetMode();
  } else {
    parts_.Log.Write(kTraceError, TraceClass::kMain, ald->Address, "Failed to set TMA Mode!");
  }
}

// ---- Functions ----

ResultCode TmaOperationPage::ReadFunctions(AldRecord& ald) {
  uint8_t f[4] = {};
  ResultCode r = parts_.Layer7.TmaGetSupportedFunctions(ald.Address, ald.SelectedSubunit, f);
  if (r != kSuccess) return r;
  DeviceData& data = *parts_.Table.CurrentDeviceData();
  data.TmaFunctionsFlags = f[0];
  data.TmaFunctionsMinGain = f[1];
  data.TmaFunctionsMaxGain = f[2];
  data.TmaFunctionsGainResolution = f[3];
  return r;
}

void TmaOperationPage::ShowFunctions(ResultCode result) {
  if (result != kSuccess) {
    for (int id : {kFlagsBox, kMinGainBox, kMaxGainBox, kGainResolutionBox}) Box(id)->clear();
    return;
  }
  const DeviceData& data = *parts_.Table.CurrentDeviceData();
  Box(kFlagsBox)->setText(QString::number(data.TmaFunctionsFlags));
  Box(kMinGainBox)->setText(Text(TmaPage::GainText(data.TmaFunctionsMinGain)));
  Box(kMaxGainBox)->setText(Text(TmaPage::GainText(data.TmaFunctionsMaxGain)));
  Box(kGainResolutionBox)->setText(Text(TmaPage::GainResolutionText(data.TmaFunctionsGainResolution)));
}

void TmaOperationPage::GetFunctions() {
  AldRecord* ald = RequireSubunit(kGetFunctionsButton);
  if (!ald) return;
  ResultCode r = ReadFunctions(*ald);
  parts_.Owner.ShowResult(r, Button(kGetFunctionsButton));
  ShowFunctions(r);
}

// ---- Page operations ----

void TmaOperationPage::Clear() {
  for (int id : {kGainBox, kFlagsBox, kMinGainBox, kMaxGainBox, kGainResolutionBox}) Box(id)->clear();
  for (int id : {kGetGainButton, kSetGainButton, kGetModeButton, kSetModeButton, kGetFunctionsButton}) {
    CaptionColor::Set(Button(id), CaptionColor::kBlack);
  }
}

void TmaOperationPage::Refresh() {
  AldRecord* ald = parts_.Table.CurrentAld();
  if (!ald || ald->DeviceType != kAldTma) return;
  GetGain();
  PumpMessages();
  GetMode();
  PumpMessages();
  GetFunctions();
  PumpMessages();
}
