#include "ui/AldListPane.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/AldRowsModel.h"
#include "ui/SelectedRowDelegate.h"

namespace {

constexpr int kIconSize = 16;
constexpr int kCellPadding = 14;

// The widest text each column ever holds, so nothing is cut off in the
// font the system gives.
QString WidestText(AldRowsModel::Field field) {
  switch (field) {
    case AldRowsModel::kFieldAld: return QStringLiteral("254.6");
    case AldRowsModel::kFieldUniqueId: return QString(19, QLatin1Char('W'));
    case AldRowsModel::kFieldTilt: return QStringLiteral("-90.0");
  }
  return {};
}

}  // namespace

AldListPane::AldListPane(QWidget* parent)
    : QWidget(parent), model_(new AldRowsModel(this)), view_(new QTableView(this)) {
  view_->setObjectName(QStringLiteral("ctl530"));
  view_->setAccessibleName(tr("ALD table"));
  view_->setModel(model_);
  view_->setItemDelegate(new SelectedRowDelegate(view_));
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setShowGrid(true);
  view_->setWordWrap(false);
  view_->setIconSize(QSize(kIconSize, kIconSize));
  view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(std::max(view_->fontMetrics().height(), kIconSize) + 6);
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->horizontalHeader()->setHighlightSections(false);
  view_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  connect(view_, &QTableView::clicked, this, &AldListPane::OnClicked);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->addWidget(view_);
  setFocusProxy(view_);
}

void AldListPane::SetColumns(uint32_t aldListFields) {
  model_->SetFields(aldListFields);
  SizeColumns();
}

void AldListPane::SizeColumns() {
  const QFontMetrics& metrics = view_->fontMetrics();
  QFontMetrics headerMetrics(view_->horizontalHeader()->font());
  for (int column = 0; column < model_->columnCount(); ++column) {
    AldRowsModel::Field field = model_->FieldOfColumn(column);
    int content = metrics.horizontalAdvance(WidestText(field)) + kCellPadding;
    if (field == AldRowsModel::kFieldAld) content += kIconSize + 4;
    int heading = headerMetrics.horizontalAdvance(AldRowsModel::Heading(field)) + kCellPadding;
    view_->setColumnWidth(column, std::max({AldRowsModel::MinimumWidth(field), content, heading}));
  }
}

void AldListPane::AddRow(size_t row, const std::string& key) {
  model_->AddRow(row, key);
}

void AldListPane::FillRow(size_t row, const BusView::RowContents& contents) {
  model_->FillRow(row, contents);
}

void AldListPane::ClearRows() {
  model_->Clear();
}

void AldListPane::SelectSlot(uint8_t slot) {
  int row = model_->FirstRowOfSlot(slot);
  if (row < 0) {
    view_->clearSelection();
    return;
  }
  view_->selectRow(row);
  view_->scrollTo(model_->index(row, 0));
}

void AldListPane::OnClicked(const QModelIndex& index) {
  if (!index.isValid()) return;
  view_->selectRow(index.row());
  uint8_t slot = model_->SlotOfRow(index.row());
  if (slot != 0) emit slotClicked(slot);
}
