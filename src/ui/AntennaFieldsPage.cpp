#include "ui/AntennaFieldsPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ald/AldTable.h"
#include "ald/AldType.h"
#include "bus/FieldAccess.h"
#include "layer7/DataFieldId.h"
#include "ui/AccessibleNames.h"
#include "ui/BandCheckCombo.h"
#include "ui/BandListModel.h"
#include "ui/ColorEdit.h"
#include "ui/DevicePageOwner.h"

namespace {

bool IsRet(uint8_t deviceType) {
  return deviceType == kAldSingleRet || deviceType == kAldMultiRet;
}

}  // namespace

AntennaFieldsPage::AntennaFieldsPage(const DevicePageParts& parts, QWidget* parent) : FieldPageBase(parts, parent) {
  setObjectName(QStringLiteral("antennaFieldsPage"));
  Build();
}

void AntennaFieldsPage::AddRow(QGridLayout* grid, int row, const QString& label, uint8_t field,
                               const std::vector<int>& boxIds, bool enabled) {
  auto* name = new QLabel(label, this);
  grid->addWidget(name, row, 0);
  std::vector<ColorEdit*> boxes;
  auto* line = new QHBoxLayout;
  for (int id : boxIds) {
    boxes.push_back(MakeBox(id, enabled, id == kModelBox));
    line->addWidget(boxes.back());
  }
  NameBoxes(name, boxes, AccessibleNames::Plain(label), {tr("band 1"), tr("band 2"), tr("band 3"), tr("band 4")});
  grid->addLayout(line, row, 1);
  SetFieldBoxes(field, boxes);
  MakeFieldButton(field, false, false);
  MakeFieldButton(field, true, false);
  if (field == kFieldAntennaMaxTilt || field == kFieldAntennaMinTilt) {
    tiltWidgets_.push_back(name);
    for (ColorEdit* box : boxes) tiltWidgets_.push_back(box);
  }
}

void AntennaFieldsPage::Build() {
  auto* group = new QGroupBox(tr("Antenna Fields"), this);
  auto* grid = new QGridLayout;
  AddRow(grid, 0, tr("Model Number"), kFieldAntennaModelNumber, {kModelBox}, false);
  AddRow(grid, 1, tr("Serial Number"), kFieldAntennaSerialNumber, {kSerialBox}, true);
  auto* bandLabel = new QLabel(tr("Frequency Band"), this);
  grid->addWidget(bandLabel, 2, 0);
  bands_ = new BandCheckCombo(this);
  bands_->setObjectName(ControlName(kBandList));
  AccessibleNames::NameAfterLabel(bandLabel, bands_);
  grid->addWidget(bands_, 2, 1);
  MakeFieldButton(kFieldAntennaFrequencyBand, false, false);
  MakeFieldButton(kFieldAntennaFrequencyBand, true, false);
  AddRow(grid, 3, tr("Beamwidth"), kFieldAntennaBeamwidth,
         {kBeamwidthBox1, kBeamwidthBox1 + 1, kBeamwidthBox1 + 2, kBeamwidthBox1 + 3}, false);
  AddRow(grid, 4, tr("Gain"), kFieldAntennaGain, {kGainBox1, kGainBox1 + 1, kGainBox1 + 2, kGainBox1 + 3}, false);
  AddRow(grid, 5, tr("Max Tilt"), kFieldAntennaMaxTilt, {kMaxTiltBox}, false);
  AddRow(grid, 6, tr("Min Tilt"), kFieldAntennaMinTilt, {kMinTiltBox}, false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(MakeButton(kSetButton, tr("SET")));
  buttons->addWidget(MakeButton(kGetButton, tr("GET")));
  // The operator page beside this one has buttons of the same captions.
  Button(kSetButton)->setAccessibleName(tr("SET antenna fields"));
  Button(kGetButton)->setAccessibleName(tr("GET antenna fields"));
  grid->addLayout(buttons, 7, 0, 1, 2);
  group->setLayout(grid);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch();
  Bind(Button(kGetButton), "Antenna Fields", [this] { GetAll(); });
  Bind(Button(kSetButton), "Antenna Fields", [this] { SetAll(); });
}

void AntennaFieldsPage::Clear() {
  EmptyBoxes();
  bands_->Marks()->ClearMarks();
  ResetCaptions();
}

void AntennaFieldsPage::LoadAld(uint8_t slot) {
  ReadAll(TargetOf(slot));
}

void AntennaFieldsPage::Refresh() {
  if (std::optional<Target> t = CurrentTarget()) ReadAll(*t);
}

void AntennaFieldsPage::SetDeviceType(uint8_t deviceType) {
  for (QWidget* w : tiltWidgets_) w->setVisible(deviceType != kAldTma);
}

bool AntennaFieldsPage::TiltLimitsShown() const {
  return !tiltWidgets_.empty() && !tiltWidgets_.front()->isHidden();
}

void AntennaFieldsPage::EnableCommands(bool enable) {
  SetCommandsOn(enable);
  Button(kGetButton)->setEnabled(enable);
  Button(kSetButton)->setEnabled(enable);
}

void AntennaFieldsPage::GetAll() {
  std::optional<Target> t = CurrentTarget();
  if (!t) return;
  WhileRunning(Button(kGetButton), tr("GET"), [&] { ReadAll(*t); });
}

void AntennaFieldsPage::SetAll() {
  std::optional<Target> t = CurrentTarget();
  if (!t) return;
  WhileRunning(Button(kSetButton), tr("SET"), [&] { WriteAll(*t); });
  if (StillThere(*t)) parts_.Owner.GetAlarms();
}

// Each read is followed by a pause in which the windows repaint; a bus
// reset in one ends the run.
void AntennaFieldsPage::ReadAll(const Target& t) {
  QPushButton* get = Button(kGetButton);
  auto read = [&](uint8_t field) {
    if (!StillThere(t)) return false;
    ReadField(t, field, {FieldButton(field, false), get});
    Step();
    return true;
  };
  if (!read(kFieldAntennaModelNumber)) return;
  if (!StillThere(t)) return;
  if (ReadField(t, kFieldAntennaSerialNumber, {FieldButton(kFieldAntennaSerialNumber, false), get}) == kSuccess) {
    LockFixedSerial(t);
  }
  Step();
  if (!StillThere(t)) return;
  ReadBands(t);
  Step();
  if (!read(kFieldAntennaBeamwidth) || !read(kFieldAntennaGain)) return;
  if (IsRet(t.Ald->DeviceType) && read(kFieldAntennaMaxTilt)) read(kFieldAntennaMinTilt);
}

void AntennaFieldsPage::ReadBands(const Target& t) {
  QPushButton* get = Button(kGetButton);
  QPushButton* bandGet = FieldButton(kFieldAntennaFrequencyBand, false);
  bool wordARead = false;
  FieldAccess::ReadBands(parts_.Layer7, *t.Ald, t.Subunit, *t.Data, [&](uint8_t field, ResultCode r) {
    ShowResults(r, {bandGet, get});
    if (field == kFieldAntennaFrequencyBand && r == kSuccess) wordARead = true;
  });
  if (wordARead) bands_->Marks()->SetMarkedBands(FieldPages::MarkedBands(t.Data->AntennaFrequencyBands));
}

void AntennaFieldsPage::LockFixedSerial(const Target& t) {
  if (t.Ald->ProductNumber != kFixedSerialProduct) return;
  ColorEdit* serial = Box(kSerialBox);
  serial->SetLocked(true);
  serial->setEnabled(false);
}

void AntennaFieldsPage::WriteAll(const Target& t) {
  tooLong_ = false;
  tooShort_ = false;
  auto step = [&] {
    Step();
    return StillThere(t);
  };
  bool modelSent = WriteText(t, kFieldAntennaModelNumber);
  if (!step()) return;
  if (modelSent) {
    WriteText(t, kFieldAntennaSerialNumber);
    if (!step()) return;
  }
  WriteBands(t);
  if (!step()) return;
  for (uint8_t field : {kFieldAntennaBeamwidth, kFieldAntennaGain, kFieldAntennaMaxTilt, kFieldAntennaMinTilt}) {
    WriteNumber(t, field);
    if (!step()) return;
  }
  ReadAll(t);
}

bool AntennaFieldsPage::WriteText(const Target& t, uint8_t field) {
  FieldPages::Entry e = EnterField(field, *t.Data);
  if (e.Verdict == FieldPages::Entry::Status::kRefused) {
    ShowMessage(e.Message);
    tooLong_ = true;
    return false;
  }
  if (e.Verdict == FieldPages::Entry::Status::kShorter && !tooShort_) {
    ShowMessage(e.Message);
    tooShort_ = true;
  }
  WriteField(t, field, {FieldButton(field, true), Button(kSetButton)});
  return true;
}

void AntennaFieldsPage::WriteNumber(const Target& t, uint8_t field) {
  FieldPages::Entry e = EnterField(field, *t.Data);
  if (e.Verdict == FieldPages::Entry::Status::kRefused) {
    ShowMessage(e.Message);
    return;
  }
  WriteField(t, field, {FieldButton(field, true)});
}

void AntennaFieldsPage::WriteBands(const Target& t) {
  uint16_t words[3] = {};
  FieldPages::MarkBands(bands_->Marks()->MarkedBands(), words);
  for (int i = 0; i < 3; ++i) t.Data->AntennaFrequencyBands[i] = words[i];
  WriteField(t, kFieldAntennaFrequencyBand, {FieldButton(kFieldAntennaFrequencyBand, true)});
}
