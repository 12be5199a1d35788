#include "ui/AldRowsModel.h"

#include "ald/AldTable.h"
#include "ui/AldStateIcons.h"

namespace {

struct FieldColumn {
  AldRowsModel::Field Field;
  const char* Heading;
  int Width;
};

// The only fields the list shows, in the order of their columns.
constexpr FieldColumn kFieldColumns[] = {
    {AldRowsModel::kFieldAld, "ALD", 43},
    {AldRowsModel::kFieldUniqueId, "Unique Id", 146},
    {AldRowsModel::kFieldTilt, "Tilt", 48},
};

}  // namespace

AldRowsModel::AldRowsModel(QObject* parent) : QAbstractTableModel(parent) {
  for (size_t i = 0; i < icons_.size(); ++i) icons_[i] = AldStateIcons::Icon(static_cast<int>(i));
}

QIcon AldRowsModel::StateIcon(int state) const {
  return state >= 0 && static_cast<size_t>(state) < icons_.size() ? icons_[static_cast<size_t>(state)]
                                                                  : icons_[AldStateIcons::kOther];
}

void AldRowsModel::SetFields(uint32_t fields) {
  beginResetModel();
  columns_.clear();
  for (const FieldColumn& column : kFieldColumns) {
    if ((fields & (1U << column.Field)) != 0) columns_.push_back(column.Field);
  }
  endResetModel();
}

int AldRowsModel::ColumnOf(Field field) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i] == field) return static_cast<int>(i);
  }
  return -1;
}

// The bus side appends; a row it names again (which it never should) is
// taken over rather than duplicated.
void AldRowsModel::AddRow(size_t row, const std::string& key) {
  Row added;
  added.Key = QString::fromStdString(key);
  added.Slot = SlotOfKey(added.Key);
  if (row < rows_.size()) {
    rows_[row] = added;
    emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), columnCount() - 1));
    return;
  }
  int position = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), position, position);
  rows_.push_back(added);
  endInsertRows();
}

void AldRowsModel::FillRow(size_t row, const BusView::RowContents& contents) {
  if (row >= rows_.size()) return;
  Row& r = rows_[row];
  if (!contents.Key.empty()) {
    r.Key = QString::fromStdString(contents.Key);
    r.Slot = SlotOfKey(r.Key);
  }
  r.Icon = contents.Icon;
  r.UniqueId = QString::fromStdString(contents.UniqueId);
  r.Tilt = QString::fromStdString(contents.Tilt);
  if (columns_.empty()) return;
  emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), columnCount() - 1));
}

void AldRowsModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

uint8_t AldRowsModel::SlotOfRow(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return 0;
  return rows_[static_cast<size_t>(row)].Slot;
}

int AldRowsModel::FirstRowOfSlot(uint8_t slot) const {
  if (slot == 0) return -1;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].Slot == slot) return static_cast<int>(i);
  }
  return -1;
}

// "12" and "12.3" both name slot 12.
uint8_t AldRowsModel::SlotOfKey(const QString& key) {
  bool ok = false;
  unsigned slot = key.section(QLatin1Char('.'), 0, 0).toUInt(&ok);
  if (!ok || slot < 1 || slot > AldTable::kMaxAld) return 0;
  return static_cast<uint8_t>(slot);
}

QString AldRowsModel::Heading(Field field) {
  for (const FieldColumn& column : kFieldColumns) {
    if (column.Field == field) return QString::fromLatin1(column.Heading);
  }
  return {};
}

int AldRowsModel::MinimumWidth(Field field) {
  for (const FieldColumn& column : kFieldColumns) {
    if (column.Field == field) return column.Width;
  }
  return 0;
}

int AldRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int AldRowsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant AldRowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !checkIndex(index, CheckIndexOption::ParentIsInvalid)) return {};
  const Row& row = rows_[static_cast<size_t>(index.row())];
  Field field = columns_[static_cast<size_t>(index.column())];
  switch (role) {
    case Qt::DisplayRole: return DisplayText(row, field);
    case Qt::DecorationRole:
      if (field == kFieldAld) return StateIcon(row.Icon);
      return {};
    case Qt::ToolTipRole:
      if (field == kFieldAld) return AldStateIcons::Text(row.Icon);
      return {};
    case Qt::TextAlignmentRole:
      if (field == kFieldTilt) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
  }
}

QVariant AldRowsModel::DisplayText(const Row& row, Field field) {
  switch (field) {
    case kFieldAld: return row.Key;
    case kFieldUniqueId: return row.UniqueId;
    case kFieldTilt: return row.Tilt;
  }
  return {};
}

QVariant AldRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  if (role == Qt::DisplayRole) return Heading(columns_[static_cast<size_t>(section)]);
  return {};
}
