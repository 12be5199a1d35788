#include "ui/OperatorFieldsPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "layer7/DataFieldId.h"
#include "ui/AccessibleNames.h"
#include "ui/ColorEdit.h"
#include "ui/DevicePageOwner.h"

namespace {

struct Row {
  const char* Label;
  uint8_t Field;
  int Box;
};

constexpr Row kRows[] = {
    {"Install Date", kFieldOperatorInstallDate, OperatorFieldsPage::kInstallDateBox},
    {"Install Id", kFieldOperatorInstallId, OperatorFieldsPage::kInstallIdBox},
    {"Base Station Id", kFieldOperatorBaseStationId, OperatorFieldsPage::kBaseStationIdBox},
    {"Sector Id", kFieldOperatorSectorId, OperatorFieldsPage::kSectorIdBox},
    {"Antenna Bearing", kFieldOperatorAntennaBearing, OperatorFieldsPage::kBearingBox},
    {"Mechanical Tilt", kFieldOperatorMechanicalTilt, OperatorFieldsPage::kMechanicalTiltBox},
};

// The writes go in this order; the identifiers of the site last.
constexpr uint8_t kWriteOrder[] = {kFieldOperatorInstallDate,    kFieldOperatorInstallId,
                                   kFieldOperatorAntennaBearing, kFieldOperatorMechanicalTilt,
                                   kFieldOperatorBaseStationId,  kFieldOperatorSectorId};

}  // namespace

OperatorFieldsPage::OperatorFieldsPage(const DevicePageParts& parts, QWidget* parent) : FieldPageBase(parts, parent) {
  setObjectName(QStringLiteral("operatorFieldsPage"));
  Build();
}

void OperatorFieldsPage::Build() {
  auto* group = new QGroupBox(tr("Operator Fields"), this);
  auto* grid = new QGridLayout;
  int row = 0;
  for (const Row& r : kRows) {
    auto* label = new QLabel(tr(r.Label), this);
    grid->addWidget(label, row, 0);
    ColorEdit* box = MakeBox(r.Box, true);
    AccessibleNames::NameAfterLabel(label, box);
    grid->addWidget(box, row++, 1);
    SetFieldBoxes(r.Field, {box});
    MakeFieldButton(r.Field, false, false);
    MakeFieldButton(r.Field, true, false);
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(MakeButton(kSetButton, tr("SET")));
  buttons->addWidget(MakeButton(kGetButton, tr("GET")));
  // The antenna page beside this one has buttons of the same captions.
  Button(kSetButton)->setAccessibleName(tr("SET operator fields"));
  Button(kGetButton)->setAccessibleName(tr("GET operator fields"));
  grid->addLayout(buttons, row, 0, 1, 2);
  group->setLayout(grid);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch();
  Bind(Button(kGetButton), "Operator Fields", [this] { GetAll(); });
  Bind(Button(kSetButton), "Operator Fields", [this] { SetAll(); });
}

void OperatorFieldsPage::Clear() {
  EmptyBoxes();
  ResetCaptions();
}

void OperatorFieldsPage::LoadAld(uint8_t slot) {
  ReadAll(TargetOf(slot));
}

void OperatorFieldsPage::Refresh() {
  if (std::optional<Target> t = CurrentTarget()) ReadAll(*t);
}

void OperatorFieldsPage::EnableCommands(bool enable) {
  SetCommandsOn(enable);
  Button(kGetButton)->setEnabled(enable);
  Button(kSetButton)->setEnabled(enable);
}

void OperatorFieldsPage::GetAll() {
  std::optional<Target> t = CurrentTarget();
  if (!t) return;
  WhileRunning(Button(kGetButton), tr("GET"), [&] { ReadAll(*t); });
}

void OperatorFieldsPage::SetAll() {
  std::optional<Target> t = CurrentTarget();
  if (!t) return;
  WhileRunning(Button(kSetButton), tr("SET"), [&] { WriteAll(*t); });
  if (StillThere(*t)) parts_.Owner.GetAlarms();
}

void OperatorFieldsPage::ReadAll(const Target& t) {
  for (const Row& r : kRows) {
    if (!StillThere(t)) return;
    ReadField(t, r.Field, {FieldButton(r.Field, false), Button(kGetButton)});
    Step();
  }
}

void OperatorFieldsPage::WriteAll(const Target& t) {
  for (uint8_t field : kWriteOrder) {
    if (!StillThere(t)) return;
    WriteOne(t, field);
    Step();
  }
  if (StillThere(t)) ReadAll(t);
}

void OperatorFieldsPage::WriteOne(const Target& t, uint8_t field) {
  FieldPages::Entry e = EnterField(field, *t.Data);
  if (!e.Message.empty()) ShowMessage(e.Message);
  if (e.Verdict == FieldPages::Entry::Status::kRefused) return;
  WriteField(t, field, {FieldButton(field, true), Button(kSetButton)});
}
