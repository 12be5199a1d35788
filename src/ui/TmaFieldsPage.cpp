#include "ui/TmaFieldsPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <vector>

#include "ald/AldRecord.h"
#include "ald/AldType.h"
#include "core/MessagePump.h"
#include "layer7/DataFieldId.h"
#include "ui/AccessibleNames.h"
#include "ui/ColorEdit.h"

namespace {

struct Row {
  const char* Label;
  uint8_t Field;
  std::vector<int> Boxes;
  int Get;
  int Set;
};

// In the order of a refresh.
const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      {"Model Number", kFieldTmaModelNumber, {TmaFieldsPage::kModelBox}, 1052, 1053},
      {"Serial Number", kFieldTmaSerialNumber, {TmaFieldsPage::kSerialBox}, 1054, 1055},
      {"Type", kFieldTmaType, {TmaFieldsPage::kTypeBox}, 1056, 1057},
      {"Rx Frequency Band", kFieldTmaRxFrequencyBand, {TmaFieldsPage::kRxMinBox, TmaFieldsPage::kRxMaxBox}, 1058, 1059},
      {"Tx Frequency", kFieldTmaTxFrequencyBand, {TmaFieldsPage::kTxMinBox, TmaFieldsPage::kTxMaxBox}, 1060, 1061},
      {"Max Gain", kFieldTmaMaxSupportGain, {TmaFieldsPage::kMaxGainBox}, 1064, 1065},
      {"Min Gain", kFieldTmaMinSupportGain, {TmaFieldsPage::kMinGainBox}, 1062, 1063},
      {"Gain Resolution", kFieldTmaGainResolution, {TmaFieldsPage::kGainResolutionBox}, 1066, 1067},
  };
  return rows;
}

}  // namespace

TmaFieldsPage::TmaFieldsPage(const DevicePageParts& parts, QWidget* parent) : FieldPageBase(parts, parent) {
  setObjectName(QStringLiteral("tmaFieldsPage"));
  Build();
}

void TmaFieldsPage::Build() {
  auto* group = new QGroupBox(tr("TMA Fields"), this);
  auto* grid = new QGridLayout;
  int row = 0;
  for (const Row& r : Rows()) {
    auto* label = new QLabel(tr(r.Label), this);
    grid->addWidget(label, row, 0);
    auto* line = new QHBoxLayout;
    std::vector<ColorEdit*> boxes;
    for (int id : r.Boxes) {
      boxes.push_back(MakeBox(id, true));
      line->addWidget(boxes.back());
    }
    // The TMA operation page shows a "Max Gain" and a "Min Gain" of its
    // own beside this page.
    QString spoken = tr("TMA %1").arg(AccessibleNames::Plain(label->text()));
    NameBoxes(label, boxes, spoken, {tr("min"), tr("max")});
    grid->addLayout(line, row, 1);
    SetFieldBoxes(r.Field, boxes);
    uint8_t field = r.Field;
    QPushButton* get = MakeFieldButton(field, false, true, r.Get);
    QPushButton* set = MakeFieldButton(field, true, true, r.Set);
    get->setAccessibleName(tr("GET %1").arg(spoken));
    set->setAccessibleName(tr("SET %1").arg(spoken));
    grid->addWidget(get, row, 2);
    grid->addWidget(set, row++, 3);
    Bind(get, "TMA Fields", [this, field] { GetField(field); });
    Bind(set, "TMA Fields", [this, field] { SetField(field); });
  }
  group->setLayout(grid);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch();
}

void TmaFieldsPage::Clear() {
  EmptyBoxes();
  ResetCaptions();
}

void TmaFieldsPage::Refresh() {
  std::optional<Target> t = CurrentTarget();
  if (!t || t->Ald->DeviceType != kAldTma) return;
  for (const Row& r : Rows()) {
    if (!StillThere(*t)) return;
    ReadField(*t, r.Field, {FieldButton(r.Field, false)});
    PumpMessages();
  }
}

void TmaFieldsPage::GetField(uint8_t field) {
  if (std::optional<Target> t = CurrentTarget()) ReadField(*t, field, {FieldButton(field, false)});
}

void TmaFieldsPage::SetField(uint8_t field) {
  std::optional<Target> t = CurrentTarget();
  if (!t) return;
  FieldPages::Entry e = EnterField(field, *t->Data);
  if (!e.Message.empty()) ShowMessage(e.Message);
  if (e.Verdict == FieldPages::Entry::Status::kRefused) return;
  WriteField(*t, field, {FieldButton(field, true)});
}
