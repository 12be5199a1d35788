#include "ui/RetOperationPage.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldAlarmRead.h"
#include "bus/RetPage.h"
#include "bus/SelectedAld.h"
#include "bus/UserMessages.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/DataFieldId.h"
#include "layer7/FirmwareFile.h"
#include "layer7/Vocabulary.h"
#include "ui/CaptionColor.h"
#include "ui/ColorEdit.h"
#include "ui/DevicePageOwner.h"
#include "ui/DeviceWindowHooks.h"

namespace {

bool IsRet(uint8_t deviceType) {
  return deviceType == kAldSingleRet || deviceType == kAldMultiRet;
}

QString ControlName(int id) {
  return QStringLiteral("ctl%1").arg(id);
}

// Gives a button its caption back and enables it however the operation
// ends, unless told to keep it disabled.
class Running {
 public:
  Running(QPushButton* button, const QString& running) : button_(button), caption_(button->text()) {
    button_->setEnabled(false);
    button_->setText(running);
    button_->repaint();
  }
  ~Running() {
    button_->setText(caption_);
    button_->setEnabled(enable_);
  }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;
  void KeepDisabled() { enable_ = false; }

 private:
  QPushButton* button_;
  QString caption_;
  bool enable_ = true;
};

}  // namespace

RetOperationPage::RetOperationPage(const DevicePageParts& parts, const DeviceWindowHooks& hooks, PageWindowCalls calls,
                                   QWidget* parent)
    : DevicePage(parent), parts_(parts), hooks_(hooks), calls_(std::move(calls)) {
  setObjectName(QStringLiteral("retPage"));
  Build();
}

// Two buttons a row; the tilt box beside GET and SET TILT, where the value
// read and the value to set are typed. Made in the order of the rows, which
// is the order Tab goes through them.
void RetOperationPage::Build() {
  auto* grid = new QGridLayout(this);
  grid->addWidget(MakeButton(kGetTiltButton, tr("GET TILT")), 0, 0);
  tiltBox_ = new ColorEdit(this);
  tiltBox_->setObjectName(ControlName(kTiltBox));
  tiltBox_->setAccessibleName(QStringLiteral("Tilt"));
  tiltBox_->setAlignment(Qt::AlignCenter);
  tiltBox_->setPlaceholderText(tr("degrees"));
  tiltBox_->setMinimumWidth(QFontMetrics(tiltBox_->font()).horizontalAdvance(QStringLiteral("-000.0  ")) + 12);
  grid->addWidget(tiltBox_, 0, 1);
  grid->addWidget(MakeButton(kSetTiltButton, tr("SET TILT")), 0, 2);
  grid->addWidget(MakeButton(kCalibrateButton, tr("CALIBRATE")), 1, 0);
  grid->addWidget(MakeButton(kCalibrateAllButton, tr("CALIBRATE ALL")), 1, 1, 1, 2);
  grid->addWidget(MakeButton(kConfigButton, tr("ANT CONFIG DWN")), 2, 0);
  grid->addWidget(MakeButton(kFirmwareButton, tr("FIRMWARE DWN")), 2, 1, 1, 2);
  // A flat "SET" that only ever was a label of the tilt row.
  QPushButton* flat = MakeButton(kFlatSetButton, tr("SET"));
  flat->setFlat(true);
  flat->hide();
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);
  Bind(kGetTiltButton, "Get Tilt", &RetOperationPage::GetTilt);
  Bind(kSetTiltButton, "Set Tilt", &RetOperationPage::SetTilt);
  Bind(kCalibrateButton, "Calibrate", &RetOperationPage::Calibrate);
  Bind(kCalibrateAllButton, "Calibrate All", &RetOperationPage::CalibrateAll);
  Bind(kConfigButton, "the configuration download", &RetOperationPage::DownloadConfig);
  Bind(kFirmwareButton, "the firmware download", &RetOperationPage::DownloadFirmware);
  connect(tiltBox_, &QLineEdit::textChanged, this,
          [this](const QString& text) { parts_.Owner.SetServiceMode(text == QLatin1String(kServiceCode)); });
}

QPushButton* RetOperationPage::MakeButton(int id, const QString& caption) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(ControlName(id));
  button->setAutoDefault(false);
  CaptionColor::Set(button, CaptionColor::kBlack);
  return button;
}

void RetOperationPage::Bind(int id, const char* activity, void (RetOperationPage::*operation)()) {
  connect(Button(id), &QPushButton::clicked, this, [this, activity, operation] {
    if (calls_.Guard) {
      calls_.Guard(activity, [this, operation] { (this->*operation)(); });
    } else {
      (this->*operation)();
    }
  });
}

QPushButton* RetOperationPage::Button(int id) const {
  return findChild<QPushButton*>(ControlName(id));
}

void RetOperationPage::Color(int id, ResultCode result) {
  CaptionColor::Set(Button(id), result == kSuccess ? CaptionColor::kBlack : CaptionColor::kRed);
}

void RetOperationPage::Message(const std::string& text) {
  parts_.Messages.ShowMessage("", text, UserMessages::Icon::kNone);
}

AldRecord* RetOperationPage::RequireAld() {
  if (SelectedSlot(parts_.Table) != 0) return parts_.Table.CurrentAld();
  parts_.Log.Write(kTraceWarning, TraceClass::kMain, kTraceNoAld, "You must select a device first!");
  return nullptr;
}

// ---- Tilt ----

ResultCode RetOperationPage::ReadTilt(AldRecord& ald, uint8_t subunit, DeviceData& data) {
  int16_t tilt = 0;
  ResultCode r = subunit == 0 ? parts_.Layer7.RetGetTilt(ald.Address, tilt)
                              : parts_.Layer7.MultiRetGetTilt(ald.Address, subunit, tilt);
  data.TiltValid = r == kSuccess;
  if (r == kSuccess) data.Tilt = tilt;
  Color(kGetTiltButton, r);
  return r;
}

void RetOperationPage::ShowTilt(ResultCode result, const DeviceData& data) {
  if (result == kSuccess) {
    tiltBox_->setText(QString::fromStdString(RetPage::TiltText(data.Tilt)));
  } else {
    tiltBox_->clear();
    parts_.Owner.ShowAlarmStatus(QString::fromStdString(Vocabulary::ResultName(result)), true);
  }
}

void RetOperationPage::GetTilt() {
  AldRecord* ald = RequireAld();
  if (!ald) return;
  DeviceData& data = *parts_.Table.CurrentDeviceData();
  ShowTilt(ReadTilt(*ald, ald->SelectedSubunit, data), data);
  parts_.Owner.GetAlarms();
}

void RetOperationPage::ReadTiltLimits(AldRecord& ald, DeviceData& data) {
  uint8_t subunit = ald.SelectedSubunit;
  for (uint8_t field : {kFieldAntennaMaxTilt, kFieldAntennaMinTilt}) {
    if (ald.DeviceType == kAldMultiRet) {
      parts_.Layer7.MultiRetGetDeviceData(ald.Address, subunit, field, data);
    } else {
      parts_.Layer7.RetGetDeviceData(ald.Address, field, data);
    }
  }
}

// The antenna is moved only when the entry is a tilt it can take and its
// alarms do not say it is uncalibrated; a set that failed while the link
// was lost leaves the button off until the ALD is back.
void RetOperationPage::SetTilt() {
  AldRecord* ald = RequireAld();
  if (!ald) return;
  DeviceData& data = *parts_.Table.CurrentDeviceData();
  ReadTiltLimits(*ald, data);
  RetPage::TiltEntry entry =
      RetPage::CheckTilt(tiltBox_->text().toStdString(), data.MinSupportedTilt, data.MaxSupportedTilt);
  if (entry.Verdict != RetPage::TiltEntry::Status::kOk) {
    Message(entry.Message);
    if (entry.Verdict == RetPage::TiltEntry::Status::kOutOfRange) GetTilt();
    return;
  }
  uint8_t subunit = ald->SelectedSubunit;
  ResultCode alarms = RetPage::ReadAlarmsBeforeMove(parts_.Layer7, *ald, subunit);
  if (RetPage::RefusesToMove(alarms, AlarmsOf(*ald, subunit))) {
    Message(RetPage::NotCalibratedText(ald->Address));
    return;
  }
  ResultCode r = MoveTo(*ald, entry.Tenths);
  bool lost = ald->State == kStateDisconnected;
  if (!lost) {
    Color(kSetTiltButton, r);
    parts_.Owner.GetAlarms();
  }
  if (r != kSuccess) tiltBox_->clear();
  if (r == kSuccess || !lost) GetTilt();
}

ResultCode RetOperationPage::MoveTo(AldRecord& ald, int16_t tenths) {
  Running running(Button(kSetTiltButton), tr("MOVING.."));
  uint8_t subunit = ald.SelectedSubunit;
  ResultCode r = subunit == 0 ? parts_.Layer7.RetSetTilt(ald.Address, tenths)
                              : parts_.Layer7.MultiRetSetTilt(ald.Address, subunit, tenths);
  if (ald.State == kStateDisconnected) running.KeepDisabled();
  return r;
}

// ---- Calibration ----

void RetOperationPage::Calibrate() {
  AldRecord* ald = RequireAld();
  if (!ald) return;
  uint8_t slot = parts_.Table.CurrentAldIndex();
  uint8_t subunit = ald->SelectedSubunit;
  ResultCode r = kSuccess;
  {
    Running running(Button(kCalibrateButton), tr("CALIBRATING"));
    ald->State = kStateCalibrating;
    if (calls_.RefreshRow) calls_.RefreshRow(slot, subunit);
    r = subunit == 0 ? parts_.Layer7.RetCalibrate(ald->Address)
                     : parts_.Layer7.MultiRetCalibrate(ald->Address, subunit);
    if (ald->State == kStateDisconnected) running.KeepDisabled();
  }
  bool lost = ald->State == kStateDisconnected;
  if (!lost) {
    Color(kCalibrateButton, r);
    parts_.Owner.GetAlarms();
  }
  if (r == kSuccess || !lost) GetTilt();
  Color(kSetTiltButton, r);
}

void RetOperationPage::CalibrateAll() {
  QPushButton* calibrate = Button(kCalibrateButton);
  calibrate->setEnabled(false);
  {
    Running running(Button(kCalibrateAllButton), tr("RUNNING"));
    struct Enable {
      QPushButton* Button;
      ~Enable() { Button->setEnabled(true); }
    } enable{calibrate};
    if (hooks_.CalibrateAll) hooks_.CalibrateAll();
  }
}

// ---- Downloads ----

void RetOperationPage::DownloadConfig() {
  AldRecord* ald = RequireAld();
  if (!ald) return;
  std::optional<std::string> path = hooks_.ChooseFile ? hooks_.ChooseFile() : std::nullopt;
  if (!path) return;
  std::vector<uint8_t> data;
  if (FirmwareFile::PrepareConfig(*path, parts_.Log, parts_.Table.CurrentAldIndex(), data) != kSuccess) return;
  ResultCode r = parts_.Layer7.TransferConfigData(ald->Address, data.data(), data.size());
  if (r != kSuccess) {
    Message(RetPage::ConfigDownloadErrorText(r));
    return;
  }
  Color(kConfigButton, r);
  parts_.Owner.RefreshAld();
}

void RetOperationPage::DownloadFirmware() {
  ResultCode r = kSuccess;
  {
    Running running(Button(kFirmwareButton), tr("DOWNLOADING"));
    r = parts_.Owner.Download();
  }
  if (r == kSuccess) {
    if (calls_.EnableCommands) calls_.EnableCommands(true);
    Color(kFirmwareButton, r);
  } else if (r != FirmwareFile::kCancelled) {
    Color(kFirmwareButton, r);
  }
  parts_.Owner.GetAlarms();
}

// ---- Page operations ----

void RetOperationPage::Clear() {
  tiltBox_->clear();
  for (int id : {kCalibrateButton, kConfigButton, kGetTiltButton, kSetTiltButton}) {
    CaptionColor::Set(Button(id), CaptionColor::kBlack);
  }
}

void RetOperationPage::Refresh() {
  AldRecord* ald = parts_.Table.CurrentAld();
  if (!ald || !IsRet(ald->DeviceType)) return;
  GetTilt();
  PumpMessages();
}

// The tilt of the slot's ALD, which need not be the current one, into the
// data of its selected antenna; the alarms were read by the window just
// before.
void RetOperationPage::LoadAld(uint8_t slot) {
  if (SelectedSlot(parts_.Table) == 0) return;
  AldRecord& ald = parts_.Table.Record(slot);
  if (!IsRet(ald.DeviceType)) return;
  uint8_t subunit = ald.DeviceType == kAldMultiRet ? ald.SelectedSubunit.Load() : uint8_t{0};
  DeviceData& data = ald.Subunits[subunit == 0 ? 0 : subunit - 1].Data;
  ShowTilt(ReadTilt(ald, subunit, data), data);
}

void RetOperationPage::EnableCommands(bool enable) {
  for (int id : {kGetTiltButton, kSetTiltButton, kCalibrateButton, kCalibrateAllButton, kConfigButton, kFirmwareButton})
    Button(id)->setEnabled(enable);
}
