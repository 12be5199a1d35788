#include "ui/DeviceWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/AldAlarmRead.h"
#include "bus/CommFailureReporter.h"
#include "bus/SelectedAld.h"
#include "bus/UserMessages.h"
#include "core/MessagePump.h"
#include "core/TraceLog.h"
#include "layer7/AisgLayer7.h"
#include "layer7/FirmwareFile.h"
#include "layer7/Vocabulary.h"
#include "ui/AccessibleNames.h"
#include "ui/CaptionColor.h"
#include "ui/ColorEdit.h"
#include "ui/DevicePage.h"
#include "ui/DevicePageParts.h"
#include "ui/DeviceTabs.h"
#include "ui/DeviceWindowHooks.h"
#include "ui/FieldTabs.h"
#include "ui/PageWindowCalls.h"
#include "ui/RetOperationPage.h"
#include "ui/TmaOperationPage.h"

namespace {

using CaptionColor::kBlack;
using CaptionColor::kRed;

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

bool HasNumberedSubunits(uint8_t deviceType) {
  return deviceType == kAldMultiRet || deviceType == kAldTma;
}

// Results of the system's own (no answer, a broken answer): the read
// failed, which says nothing about the ALD's alarms.
bool IsReadFailure(ResultCode r) {
  return r >= kTimeout && r <= kLayer7Notification;
}

// Which of the two operation pages shows, for every window: button 1022
// flips it.
bool tmaPageToggled = false;

constexpr int kSerialLength = 17;
constexpr int kProductLength = 15;

}  // namespace

DeviceWindow::DeviceWindow(uint8_t slot, const Parts& parts, RowRefresher refreshRows, QWidget* parent)
    : QWidget(parent),
      slot_(slot),
      layer7_(parts.Layer7),
      table_(parts.Table),
      log_(parts.Log),
      failures_(parts.Failures),
      messages_(parts.Messages),
      hooks_(parts.Hooks),
      refreshRows_(std::move(refreshRows)) {
  setObjectName(QStringLiteral("deviceWindow%1").arg(slot));
  setAccessibleName(Title());
  // The window itself takes the focus when it is activated, so that no box
  // looks as if it were being edited.
  setFocusPolicy(Qt::StrongFocus);
  auto* layout = new QVBoxLayout(this);
  BuildInfoBox(layout);
  BuildLowerArea(layout);
  BuildHiddenControls();
  AccessibleNames::Apply(this);
}

QString DeviceWindow::Title() const {
  return TitleOf(slot_);
}
QString DeviceWindow::TitleOf(uint8_t slot) {
  return QStringLiteral("ALD #%1").arg(slot);
}
QString DeviceWindow::ControlName(int id) {
  return QStringLiteral("ctl%1").arg(id);
}

ColorEdit* DeviceWindow::Box(int id) const {
  return findChild<ColorEdit*>(ControlName(id));
}
QPushButton* DeviceWindow::Button(int id) const {
  return findChild<QPushButton*>(ControlName(id));
}

// ---- Layout ----

// Two label and box pairs a row, the alarm status across the whole width
// below them, in bold: it is what a technician looks at first.
void DeviceWindow::BuildInfoBox(QVBoxLayout* layout) {
  auto* info = new QGroupBox(tr("Info"), this);
  auto* grid = new QGridLayout(info);
  // Room for a whole unique id (19 characters) without scrolling.
  const int boxWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("KA0000801234567890X")) + 12;
  struct Field {
    int Id;
    const char* Label;
    int Row;
    int Column;
  };
  static const Field kFields[] = {{kProductNumber, "Product Number", 0, 0},
                                  {kUniqueId, "RET Unique Id", 0, 2},
                                  {kFirmwareVersion, "Firmware Version", 1, 0},
                                  {kHardwareVersion, "Hardware Version", 1, 2}};
  for (const Field& f : kFields) {
    ColorEdit* box = MakeBox(f.Id, info);
    box->setMinimumWidth(boxWidth);
    auto* label = new QLabel(tr(f.Label), info);
    label->setBuddy(box);
    grid->addWidget(label, f.Row, f.Column);
    grid->addWidget(box, f.Row, f.Column + 1);
  }
  ColorEdit* status = MakeBox(kAlarmStatus, info);
  status->setAlignment(Qt::AlignCenter);
  QFont bold = status->font();
  bold.setBold(true);
  status->setFont(bold);
  auto* statusLabel = new QLabel(tr("Alarm Status"), info);
  statusLabel->setBuddy(status);
  grid->addWidget(statusLabel, 2, 0);
  grid->addWidget(status, 2, 1, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  grid->setColumnMinimumWidth(2, QFontMetrics(font()).averageCharWidth() * 2);
  auto* row = new QHBoxLayout;
  row->addWidget(info, 1);
  row->addWidget(MakeIdentityButton());
  layout->addLayout(row);
}

// Tall and narrow beside the identity boxes it writes; only the service
// mode shows it.
QPushButton* DeviceWindow::MakeIdentityButton() {
  QPushButton* button = MakeButton(kWriteIdentityButton, QStringLiteral("S\nE\nT"));
  button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  button->setMaximumWidth(QFontMetrics(font()).horizontalAdvance(QStringLiteral("WW")) + 12);
  button->setToolTip(tr("Write the identity to the device"));
  // Its caption is spelt downwards, one letter a line.
  button->setAccessibleName(tr("SET IDENTITY"));
  button->setEnabled(false);
  button->hide();
  Bind(kWriteIdentityButton, "Write Identity", &DeviceWindow::WriteIdentity);
  return button;
}

// The operation pages inside the "Type" box, the field pages beside it,
// wide enough for two of them side by side.
void DeviceWindow::BuildLowerArea(QVBoxLayout* layout) {
  auto* row = new QHBoxLayout;
  typeBox_ = new QGroupBox(tr("Type"), this);
  typeBox_->setObjectName(ControlName(kTypeBox));
  auto* typeLayout = new QVBoxLayout(typeBox_);
  typeLayout->addLayout(BuildSubunitRow());
  BuildPages();
  typeLayout->addWidget(deviceTabs_, 1);
  QPushButton* tmaFields = MakeButton(kTmaFieldsButton, tr("TMA"));
  tmaFields->setToolTip(tr("Show the TMA fields"));
  tmaFields->hide();
  typeLayout->addWidget(tmaFields, 0, Qt::AlignLeft);
  // Tab reaches the button under the operation pages before the field
  // pages beside them.
  QWidget::setTabOrder(deviceTabs_->LastFocusStop(), tmaFields);
  QWidget::setTabOrder(tmaFields, fieldTabs_->Bar());
  fieldTabs_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  row->addWidget(typeBox_);
  row->addWidget(fieldTabs_, 1);
  layout->addLayout(row, 1);
}

// The antenna of a multi RET or the subunit of a TMA that the pages work
// on. Shown for those two kinds only: without it a technician could not
// choose any but the one read last.
QHBoxLayout* DeviceWindow::BuildSubunitRow() {
  auto* row = new QHBoxLayout;
  subunitList_ = new QComboBox(typeBox_);
  subunitList_->setObjectName(ControlName(kSubunitList));
  subunitList_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  subunitLabel_ = new QLabel(tr("Selected:"), typeBox_);
  subunitLabel_->setBuddy(subunitList_);
  row->addWidget(subunitLabel_);
  row->addWidget(subunitList_);
  row->addStretch(1);
  ShowSubunitRow(false);
  connect(subunitList_, &QComboBox::activated, this,
          [this](int entry) { failures_.Guard("the subunit read", [&] { ChooseSubunit(entry); }); });
  return row;
}

void DeviceWindow::ShowSubunitRow(bool show) {
  subunitLabel_->setVisible(show);
  subunitList_->setVisible(show);
}

void DeviceWindow::BuildPages() {
  DeviceWindowHooks const& hooks = hooks_;
  DevicePageParts parts{
      layer7_,
      table_,
      log_,
      messages_,
      [&hooks]() -> std::optional<std::string> { return hooks.ChooseFile ? hooks.ChooseFile() : std::nullopt; },
      *this};
  PageWindowCalls calls;
  calls.Guard = [this](const char* activity, const std::function<void()>& f) { failures_.Guard(activity, f); };
  calls.EnableCommands = [this](bool enable) { EnableCommands(enable); };
  calls.RefreshRow = [this](uint8_t slot, uint8_t subunit) { RefreshRows(slot, subunit); };
  deviceTabs_ = new DeviceTabs(parts, hooks_, calls, this);
  fieldTabs_ = new FieldTabs(parts, this);
}

RetOperationPage* DeviceWindow::RetPage() const {
  return deviceTabs_->RetPage();
}
TmaOperationPage* DeviceWindow::TmaPage() const {
  return deviceTabs_->TmaPage();
}

template <class F>
void DeviceWindow::ForBothTabs(F&& f) {
  f(*deviceTabs_);
  f(*fieldTabs_);
}

// Hidden controls: they are written to like the shown ones and read by
// the pages, but they are not part of what the window shows.
void DeviceWindow::BuildHiddenControls() {
  for (int id : {kAlarmText, kSubunitCount, kLastResult, kLastError}) MakeBox(id, this)->hide();

  static const struct {
    int Id;
    const char* Caption;
  } kButtons[] = {{kResetButton, "RESET"},           {kGetInfoButton, "GET INFO"},
                  {kGetAlarmsButton, "GET"},         {kClearAlarmsButton, "CLEAR"},
                  {kSelfTestButton, "SELF TEST"},    {kSubscribeButton, "SUBSCRIBE"},
                  {kDownloadButton, "DOWNLOAD"},     {kGetAllButton, "GET ALL"},
                  {kClearAllButton, "CLEAR ALL"},    {kClearEepromButton, "CLEAR EEPROM"},
                  {kGetSubunitsButton, "GET"},       {kAntennaPageButton, "ANTENNA"},
                  {kOperatorPageButton, "OPERATOR"}, {kTogglePageButton, "<->"}};
  for (const auto& b : kButtons) MakeButton(b.Id, tr(b.Caption))->hide();
  Bind(kResetButton, "Reset", &DeviceWindow::ResetDevice);
  Bind(kGetInfoButton, "Get Info", &DeviceWindow::GetInfo);
  Bind(kGetAlarmsButton, "Get Alarms", &DeviceWindow::GetAlarms);
  Bind(kSelfTestButton, "Self Test", &DeviceWindow::SelfTest);
  Bind(kSubscribeButton, "Subscribe Alarms", &DeviceWindow::SubscribeAlarms);
  Bind(kGetAllButton, "Get All", &DeviceWindow::GetAll);
  Bind(kClearAllButton, "Clear All", &DeviceWindow::ClearDisplay);
  Bind(kClearEepromButton, "Clear EEPROM", &DeviceWindow::ClearEeprom);
  Bind(kGetSubunitsButton, "the subunit count", &DeviceWindow::GetSubunits);
  Bind(kTogglePageButton, "the page toggle", &DeviceWindow::TogglePage);
  connect(Button(kAntennaPageButton), &QPushButton::clicked, this, [this] { ShowFieldPage(FieldTabs::kAntennaPage); });
  connect(Button(kOperatorPageButton), &QPushButton::clicked, this,
          [this] { ShowFieldPage(FieldTabs::kOperatorPage); });
  connect(Button(kTmaFieldsButton), &QPushButton::clicked, this, [this] { ShowFieldPage(FieldTabs::kTmaPage); });
}

// Boxes start black on white and locked: they show the device, they are
// not where it is changed.
ColorEdit* DeviceWindow::MakeBox(int id, QWidget* parent) {
  auto* box = new ColorEdit(parent);
  box->setObjectName(ControlName(id));
  box->SetLocked(true);
  return box;
}

QPushButton* DeviceWindow::MakeButton(int id, const QString& caption) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(ControlName(id));
  CaptionColor::Set(button, kBlack);
  return button;
}

void DeviceWindow::Bind(int id, const char* activity, void (DeviceWindow::*operation)()) {
  connect(Button(id), &QPushButton::clicked, this,
          [this, activity, operation] { failures_.Guard(activity, [&] { (this->*operation)(); }); });
}

// ---- Display ----

void DeviceWindow::ShowResult(ResultCode result, QPushButton* button) {
  QString name = Text(Vocabulary::ResultName(result));
  Box(kLastResult)->setText(name);
  if (result == kSuccess) {
    Box(kLastResult)->SetTextColor(kBlack);
    CaptionColor::Set(button, kBlack);
  } else {
    Box(kLastError)->setText(name);
    Box(kLastResult)->SetTextColor(kRed);
    Box(kLastError)->SetTextColor(kRed);
    CaptionColor::Set(button, kRed);
  }
  update();
}

void DeviceWindow::ShowAlarmStatus(const QString& text, bool alarmed) {
  ColorEdit* box = Box(kAlarmStatus);
  box->setText(text);
  box->SetTextColor(alarmed ? kRed : kBlack);
}

void DeviceWindow::ShowAlarmText(const QString& text) {
  ColorEdit* box = Box(kAlarmText);
  box->setText(text);
  box->SetTextColor(kRed);
  update();
}

void DeviceWindow::ClearAlarmBoxes() {
  for (int id : {kAlarmText, kAlarmStatus}) {
    Box(id)->clear();
    Box(id)->SetTextColor(kBlack);
  }
}

void DeviceWindow::ClearDisplay() {
  for (int id : {kUniqueId, kProductNumber, kFirmwareVersion, kHardwareVersion, kAlarmStatus, kAlarmText, kLastResult,
                 kLastError}) {
    Box(id)->clear();
  }
  fieldTabs_->ClearAll();
  deviceTabs_->ClearAll();
  for (QPushButton* button : findChildren<QPushButton*>()) CaptionColor::Set(button, kBlack);
}

// The pages' commands stay off until the ALD is reconnected; the alarm
// status says why.
void DeviceWindow::ShowLinkLost() {
  ShowAlarmStatus(tr("Communication Lost"), true);
  EnableCommands(false);
}

void DeviceWindow::ShowDeviceType(uint8_t deviceType) {
  ForBothTabs([deviceType](PageTabs& tabs) { tabs.SetDeviceTypeAll(deviceType); });
  switch (deviceType) {
    case kAldSingleRet:
      Button(kGetSubunitsButton)->setEnabled(false);
      subunitList_->setEnabled(false);
      Box(kSubunitCount)->setText(QStringLiteral("1"));
      break;
    case kAldMultiRet:
    case kAldTma:
      Button(kGetSubunitsButton)->setEnabled(true);
      subunitList_->setEnabled(true);
      break;
    default: return;
  }
  bool tma = deviceType == kAldTma;
  ShowSubunitRow(deviceType != kAldSingleRet);
  deviceTabs_->SwitchTo(tma ? DeviceTabs::kTmaPage : DeviceTabs::kRetPage);
  typeBox_->setTitle(tma ? tr("TMA") : tr("RET"));
  Button(kTmaFieldsButton)->setVisible(tma);
}

void DeviceWindow::TogglePage() {
  tmaPageToggled = !tmaPageToggled;
  deviceTabs_->SwitchTo(tmaPageToggled ? DeviceTabs::kTmaPage : DeviceTabs::kRetPage);
  typeBox_->setTitle(tmaPageToggled ? tr("TMA") : tr("RET"));
}

void DeviceWindow::ShowFieldPage(int index) {
  fieldTabs_->ShowOnly(index);
}

void DeviceWindow::EnableCommands(bool enable) {
  commandsEnabled_ = enable;
  RetPage()->EnableCommands(enable);
  fieldTabs_->Page(FieldTabs::kAntennaPage)->EnableCommands(enable);
  fieldTabs_->Page(FieldTabs::kOperatorPage)->EnableCommands(enable);
}

// Off while a calibration of every RET runs.
void DeviceWindow::EnableRetTab(bool enable) {
  retTabEnabled_ = enable;
  RetPage()->setEnabled(enable);
}

// The identity boxes are where a technician types the new identity; out
// of service mode they only show the device's.
void DeviceWindow::SetServiceMode(bool on) {
  serviceMode_ = on;
  QPushButton* button = Button(kWriteIdentityButton);
  button->setEnabled(on);
  button->setVisible(on);
  for (int id : {kUniqueId, kProductNumber, kHardwareVersion}) Box(id)->SetLocked(!on);
}

// ---- Operations ----

uint8_t DeviceWindow::RequireAld() const {
  uint8_t slot = SelectedSlot(table_);
  if (slot == 0) log_.Write(kTraceWarning, TraceClass::kMain, kTraceNoAld, "You must select a device first!");
  return slot;
}

void DeviceWindow::GetInfo() {
  if (uint8_t slot = RequireAld()) GetInfoOf(slot);
}

void DeviceWindow::GetInfoOf(uint8_t slot) {
  AldRecord& ald = table_.Record(slot);
  ResultCode r = layer7_.GetInformation(ald.Address, ald);
  ShowResult(r, Button(kGetInfoButton));
  if (r == kSuccess) ShowIdentity(slot);
}

void DeviceWindow::ShowIdentity(uint8_t slot) {
  const AldRecord& ald = table_.Record(slot);
  Box(kProductNumber)->setText(Text(ald.ProductNumber));
  Box(kUniqueId)->setText(Text(table_.UniqueIdText(slot)));
  Box(kHardwareVersion)->setText(Text(ald.HardwareVersion));
  Box(kFirmwareVersion)->setText(Text(ald.SoftwareVersion));
}

void DeviceWindow::GetAlarms() {
  if (uint8_t slot = RequireAld()) GetAlarmsOf(slot);
}

void DeviceWindow::GetAlarmsOf(uint8_t slot) {
  const AldRecord& ald = table_.Record(slot);
  ReadAlarms(slot, ald.DeviceType == kAldSingleRet ? uint8_t{0} : ald.SelectedSubunit.Load());
  RefreshRows(slot, kAllSubunits);
  update();
}

ResultCode DeviceWindow::ReadAlarms(uint8_t slot, uint8_t subunit) {
  AldRecord& ald = table_.Record(slot);
  ResultCode r = ReadAldAlarms(layer7_, ald, subunit);
  ShowResult(r, Button(kGetAlarmsButton));
  ShowAlarmsRead(ald, subunit, r);
  return r;
}

// A read that failed (no answer, a broken one, a type without an alarm
// procedure) leaves the state alone and says why: a device that did not
// answer is not alarmed, and the list's first code would be a stale one.
// An alarm list whose first entry holds no code shows the read's result.
void DeviceWindow::ShowAlarmsRead(AldRecord& ald, uint8_t subunit, ResultCode result) {
  if (result == kSuccess) {
    ShowAlarmStatus(QStringLiteral("None"), false);
    ald.State = kStateConnected;
    return;
  }
  if (IsReadFailure(result) || result == kNoAlarmProcedure) {
    ShowAlarmStatus(Text(Vocabulary::ResultName(result)), true);
    return;
  }
  ald.State = kStateAlarmed;
  uint8_t first = AlarmsOf(ald, subunit).AlarmCodes[0];
  ShowAlarmStatus(Text(Vocabulary::ResultName(first != kSuccess ? first : static_cast<uint8_t>(result))), true);
}

void DeviceWindow::GetSubunits() {
  if (uint8_t slot = RequireAld()) GetSubunitsOf(slot);
}

// A device reporting more subunits than a record holds gets as many as it
// holds.
void DeviceWindow::GetSubunitsOf(uint8_t slot) {
  AldRecord& ald = table_.Record(slot);
  uint8_t count = 0;
  ResultCode r = kNoAlarmProcedure;
  switch (ald.DeviceType) {
    case kAldSingleRet: r = kProtocolError; break;
    case kAldMultiRet: r = layer7_.MultiRetGetNumberAntennas(ald.Address, count); break;
    case kAldTma: r = layer7_.TmaGetNumberSubunits(ald.Address, count); break;
    default: break;
  }
  if (r == kSuccess) ald.SubunitCount = std::min<uint8_t>(count, AldRecord::kMaxSubunits);
  ShowResult(r, Button(kGetSubunitsButton));
  if (r != kSuccess) return;
  Box(kSubunitCount)->setText(QString::number(ald.SubunitCount));
  if (subunitList_->count() == 0) {
    for (int n = 1; n <= ald.SubunitCount; ++n) subunitList_->addItem(QString::number(n));
    ShowSubunitEntry(ald.SelectedSubunit - 1);
  }
}

void DeviceWindow::ResetDevice() {
  if (uint8_t slot = RequireAld()) {
    ShowResult(layer7_.SoftwareReset(table_.Record(slot).Address), Button(kResetButton));
  }
}

void DeviceWindow::SubscribeAlarms() {
  if (uint8_t slot = RequireAld()) {
    ShowResult(layer7_.AlarmSubscribe(table_.Record(slot).Address), Button(kSubscribeButton));
  }
}

void DeviceWindow::ClearEeprom() {
  if (uint8_t slot = RequireAld()) {
    VendorCommand command;
    command.Operation = VendorCommand::kClearMemory;
    ShowResult(layer7_.VendorSpecific(table_.Record(slot).Address, command), Button(kClearEepromButton));
  }
}

// The two lengths are the widths of the fields the device stores them in;
// a shorter or longer text is refused before anything is sent. The texts
// are stored in the record whatever the device answered, and read back.
void DeviceWindow::WriteIdentity() {
  uint8_t slot = RequireAld();
  if (slot == 0) return;
  VendorCommand command;
  command.Operation = VendorCommand::kWriteIdentity;
  command.SerialNumber = Box(kUniqueId)->text().toStdString();
  command.ProductNumber = Box(kProductNumber)->text().toStdString();
  command.HardwareVersion = Box(kHardwareVersion)->text().toStdString();
  if (Box(kUniqueId)->text().size() != kSerialLength) {
    messages_.ShowMessage("", "Serial Number should be 17 characters long. Set not allowed", UserMessages::Icon::kNone);
    return;
  }
  if (Box(kProductNumber)->text().size() != kProductLength) {
    messages_.ShowMessage("", "Product Number should be 15 characters long. Set not allowed",
                          UserMessages::Icon::kNone);
    return;
  }
  AldRecord& ald = table_.Record(slot);
  ShowResult(layer7_.VendorSpecific(ald.Address, command), Button(kWriteIdentityButton));
  layer7_.StoreIdentity(slot, command);
  RefreshRows(slot, ald.SelectedSubunit);
  GetInfoOf(slot);
}

ResultCode DeviceWindow::Download() {
  FirmwareFile::ChooseFile choose = [this]() -> std::optional<std::string> {
    return hooks_.ChooseFile ? hooks_.ChooseFile() : std::nullopt;
  };
  ResultCode r = FirmwareFile::DownloadFirmware(layer7_, choose);
  if (r == kSuccess && hooks_.AfterFirmware) hooks_.AfterFirmware();
  return r;
}

// Events are processed meanwhile, as in every other wait for the device:
// the windows repaint and the technician's commands run. No event loop of
// its own, which would delete a window closed meanwhile under this call.
void DeviceWindow::Pause(int milliseconds) {
  if (hooks_.Pause) {
    hooks_.Pause(milliseconds);
    return;
  }
  QTimer done;
  done.setSingleShot(true);
  done.start(milliseconds);
  while (done.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

template <class F>
void DeviceWindow::WhileRunning(QPushButton* button, const QString& caption, F&& f) {
  struct Restore {
    QPushButton* Button;
    QString Caption;
    ~Restore() {
      Button->setText(Caption);
      Button->setEnabled(true);
    }
  } restore{button, caption};
  button->setEnabled(false);
  button->setText(tr("RUNNING"));
  f();
}

void DeviceWindow::SelfTest() {
  uint8_t slot = RequireAld();
  if (slot == 0) return;
  QPushButton* button = Button(kSelfTestButton);
  ResultCode r = kSuccess;
  WhileRunning(button, tr("SELF TEST"), [&] { r = layer7_.RunSelfTest(table_.Record(slot).Address); });
  ShowResult(r, button);
}

void DeviceWindow::GetAll() {
  uint8_t slot = RequireAld();
  if (slot == 0) return;
  WhileRunning(Button(kGetAllButton), tr("GET ALL"), [&] { RefreshAldOf(slot); });
}

void DeviceWindow::ChooseSubunit(int entry) {
  uint8_t slot = RequireAld();
  if (slot == 0 || entry < 0) return;
  SelectSubunit(slot, static_cast<uint8_t>(entry + 1));
  ShowSubunitEntry(entry);
  GetAll();
}

void DeviceWindow::RefreshAld() {
  if (uint8_t slot = RequireAld()) RefreshAldOf(slot);
}

void DeviceWindow::RefreshAldOf(uint8_t slot) {
  log_.Write(kTraceInfo, TraceClass::kMain, slot, "Refreshing ALD");
  GetInfoOf(slot);
  PumpMessages();
  if (HasNumberedSubunits(table_.Record(slot).DeviceType)) {
    GetSubunitsOf(slot);
    PumpMessages();
  }
  GetAlarmsOf(slot);
  PumpMessages();
  ForBothTabs([](PageTabs& tabs) { tabs.RefreshAll(); });
  RefreshRows(slot, table_.Record(slot).SelectedSubunit);
}

void DeviceWindow::RefreshAllSubunits() {
  if (uint8_t slot = RequireAld()) RefreshAllSubunitsOf(slot);
}

// The count is read anew for each subunit, so the loop follows it; a
// record never holds more than kMaxSubunits.
void DeviceWindow::RefreshAllSubunitsOf(uint8_t slot) {
  log_.Write(kTraceInfo, TraceClass::kMain, slot, "Refreshing ALD");
  GetInfoOf(slot);
  PumpMessages();
  const AldRecord& ald = table_.Record(slot);
  for (uint8_t n = 1; n <= std::min<int>(ald.SubunitCount, AldRecord::kMaxSubunits); ++n) {
    SelectSubunit(slot, n);
    if (HasNumberedSubunits(ald.DeviceType)) {
      GetSubunitsOf(slot);
      PumpMessages();
    }
    GetAlarmsOf(slot);
    PumpMessages();
    ForBothTabs([](PageTabs& tabs) { tabs.RefreshAll(); });
    RefreshRows(slot, n);
  }
}

// Reads the given slot's ALD, which need not be the current one, and
// leaves the current selection as it was: a reconnected ALD is reloaded
// while the technician works on another.
void DeviceWindow::LoadAld(uint8_t slot) {
  if (RequireAld() == 0) return;
  log_.Write(kTraceInfo, TraceClass::kMain, slot, "Refreshing ALD");
  GetInfoOf(slot);
  const AldRecord& ald = table_.Record(slot);
  for (uint8_t n = 1; n <= std::min<int>(ald.SubunitCount, AldRecord::kMaxSubunits); ++n) {
    SelectSubunit(slot, n);
    if (HasNumberedSubunits(ald.DeviceType)) GetSubunitsOf(slot);
    ReadAlarms(slot, ald.DeviceType == kAldSingleRet ? uint8_t{0} : n);
    RefreshRows(slot, kAllSubunits);
    ForBothTabs([slot](PageTabs& tabs) { tabs.LoadAll(slot); });
    RefreshRows(slot, n);
  }
}

void DeviceWindow::SelectSubunit(uint8_t slot, uint8_t n) {
  if (table_.CurrentAldIndex() == slot) {
    table_.SelectSubunit(n);
  } else {
    AldRecord& ald = table_.Record(slot);
    bool numbered = HasNumberedSubunits(ald.DeviceType) && n >= 1 && n <= AldRecord::kMaxSubunits;
    ald.SelectedSubunit = numbered ? n : uint8_t{0};
  }
  ShowSubunitEntry(n - 1);
}

void DeviceWindow::ShowSubunitEntry(int entry) {
  if (entry >= 0 && entry < subunitList_->count()) subunitList_->setCurrentIndex(entry);
}

void DeviceWindow::RefreshRows(uint8_t slot, uint8_t subunit) {
  if (refreshRows_) refreshRows_(slot, subunit);
}
