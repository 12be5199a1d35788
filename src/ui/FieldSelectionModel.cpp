#include "ui/FieldSelectionModel.h"

FieldSelectionModel::FieldSelectionModel(QObject* parent) : QAbstractListModel(parent) {
  checked_[0] = true;
}

void FieldSelectionModel::SetFields(uint32_t fields) {
  for (int i = 0; i < Settings::kAldListFieldCount; ++i) checked_[static_cast<size_t>(i)] = (fields & (1U << i)) != 0;
  checked_[0] = true;
  emit dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
}

QString FieldSelectionModel::EntryText(int field) {
  if (field < 0 || field >= Settings::kAldListFieldCount) return {};
  return QStringLiteral("%1: %2")
      .arg(field, 2, 10, QLatin1Char(' '))
      .arg(QString::fromLatin1(Settings::kAldListFieldNames[static_cast<size_t>(field)]));
}

int FieldSelectionModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Settings::kAldListFieldCount;
}

QVariant FieldSelectionModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !checkIndex(index, CheckIndexOption::ParentIsInvalid)) return {};
  switch (role) {
    case Qt::DisplayRole: return EntryText(index.row());
    case Qt::CheckStateRole:
      return static_cast<int>(checked_[static_cast<size_t>(index.row())] ? Qt::Checked : Qt::Unchecked);
    default: return {};
  }
}

bool FieldSelectionModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || !checkIndex(index)) return false;
  if (index.row() == 0) return false;
  bool on = value.toInt() == Qt::Checked;
  auto& mark = checked_[static_cast<size_t>(index.row())];
  if (mark == on) return true;
  mark = on;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit marksChanged();
  return true;
}

// Field 0 shows its mark but takes no click.
Qt::ItemFlags FieldSelectionModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || !checkIndex(index)) return Qt::NoItemFlags;
  if (index.row() == 0) return Qt::ItemNeverHasChildren;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
}
