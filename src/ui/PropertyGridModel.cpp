#include "ui/PropertyGridModel.h"

#include <QFont>
#include <algorithm>

#include "ald/AldTable.h"

namespace {

constexpr const char* kPropertyNames[] = {"UniqueId", "Status", "Type", "Version", "Polling"};

// Each description opens with the slot in brackets, as "[07] ...".
constexpr const char* kDescriptions[] = {
    "Specifies the ALD unique id",
    "Specifies the ALD status",
    "One of: SingleRet, MultiRet, TMA, or Unknown",
    "Aisg version 1.1 or 2.0",
    "Specifies if polling is enabled for the device",
};

constexpr quintptr kGroupId = 0;

}  // namespace

PropertyGridModel::PropertyGridModel(AldTable& table, QObject* parent) : QAbstractItemModel(parent), table_(table) {}

int PropertyGridModel::GroupRow(uint8_t slot) const {
  auto it = std::lower_bound(groups_.begin(), groups_.end(), slot,
                             [](const Group& group, uint8_t s) { return group.Slot < s; });
  return it != groups_.end() && it->Slot == slot ? static_cast<int>(it - groups_.begin()) : -1;
}

void PropertyGridModel::Show(uint8_t slot, const BusView::AldProperties& properties) {
  if (slot < 1 || slot > AldTable::kMaxAld) return;
  int row = GroupRow(slot);
  if (row < 0) {
    auto it = std::lower_bound(groups_.begin(), groups_.end(), slot,
                               [](const Group& group, uint8_t s) { return group.Slot < s; });
    row = static_cast<int>(it - groups_.begin());
    beginInsertRows(QModelIndex(), row, row);
    Group added;
    added.Slot = slot;
    groups_.insert(it, added);
    endInsertRows();
  }
  Group& group = groups_[static_cast<size_t>(row)];
  group.Texts = {QString::fromStdString(properties.UniqueId), QString::fromStdString(properties.Status),
                 QString::fromStdString(properties.Type), QString::fromStdString(properties.Version)};
  emit dataChanged(PropertyIndex(slot, kUniqueId), PropertyIndex(slot, kPolling));
}

void PropertyGridModel::SetStatus(uint8_t slot, const std::string& status) {
  int row = GroupRow(slot);
  if (row < 0) return;
  groups_[static_cast<size_t>(row)].Texts[kStatus] = QString::fromStdString(status);
  QModelIndex changed = PropertyIndex(slot, kStatus);
  emit dataChanged(changed, changed);
}

void PropertyGridModel::Hide(uint8_t slot) {
  int row = GroupRow(slot);
  if (row < 0) return;
  beginRemoveRows(QModelIndex(), row, row);
  groups_.erase(groups_.begin() + row);
  endRemoveRows();
}

QModelIndex PropertyGridModel::GroupIndex(uint8_t slot) const {
  int row = GroupRow(slot);
  return row < 0 ? QModelIndex() : createIndex(row, kNameColumn, kGroupId);
}

QModelIndex PropertyGridModel::PropertyIndex(uint8_t slot, Property property, int column) const {
  if (GroupRow(slot) < 0 || property >= kPropertyCount) return {};
  return createIndex(property, column, static_cast<quintptr>(slot));
}

uint8_t PropertyGridModel::SlotOf(const QModelIndex& index) {
  if (!index.isValid()) return 0;
  return static_cast<uint8_t>(index.data(kSlotRole).toUInt());
}

QString PropertyGridModel::GroupName(uint8_t slot) {
  return QStringLiteral("ALD #%1").arg(slot);
}

QString PropertyGridModel::PropertyName(Property property) {
  return property < kPropertyCount ? QString::fromLatin1(kPropertyNames[property]) : QString();
}

QString PropertyGridModel::Description(uint8_t slot, Property property) {
  if (property >= kPropertyCount) return {};
  return QStringLiteral("[%1] %2").arg(slot, 2, 10, QLatin1Char('0')).arg(QString::fromLatin1(kDescriptions[property]));
}

QModelIndex PropertyGridModel::index(int row, int column, const QModelIndex& parent) const {
  if (!hasIndex(row, column, parent)) return {};
  if (!parent.isValid()) return createIndex(row, column, kGroupId);
  return createIndex(row, column, static_cast<quintptr>(groups_[static_cast<size_t>(parent.row())].Slot));
}

QModelIndex PropertyGridModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == kGroupId) return {};
  int row = GroupRow(static_cast<uint8_t>(child.internalId()));
  return row < 0 ? QModelIndex() : createIndex(row, kNameColumn, kGroupId);
}

int PropertyGridModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(groups_.size());
  if (parent.internalId() == kGroupId && parent.column() == kNameColumn) return kPropertyCount;
  return 0;
}

int PropertyGridModel::columnCount(const QModelIndex& /*parent*/) const {
  return 2;
}

QVariant PropertyGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == kNameColumn) return tr("Property");
  if (section == kValueColumn) return tr("Value");
  return {};
}

QVariant PropertyGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !checkIndex(index)) return {};
  if (index.internalId() == kGroupId) return GroupData(groups_[static_cast<size_t>(index.row())], index.column(), role);
  int row = GroupRow(static_cast<uint8_t>(index.internalId()));
  if (row < 0) return {};
  return PropertyData(groups_[static_cast<size_t>(row)], static_cast<Property>(index.row()), index.column(), role);
}

QVariant PropertyGridModel::GroupData(const Group& group, int column, int role) const {
  switch (role) {
    case Qt::DisplayRole: return column == kNameColumn ? GroupName(group.Slot) : QVariant();
    case Qt::FontRole: {
      QFont bold;
      bold.setBold(true);
      return bold;
    }
    case kSlotRole: return group.Slot;
    default: return {};
  }
}

QVariant PropertyGridModel::PropertyData(const Group& group, Property property, int column, int role) const {
  switch (role) {
    case Qt::DisplayRole:
      if (column == kNameColumn) return PropertyName(property);
      // Said in words as well, so the switch reads in any look.
      if (property == kPolling) return PollingOn(group.Slot) ? QStringLiteral("Enabled") : QStringLiteral("Disabled");
      return group.Texts[property];
    case Qt::ToolTipRole:
    case kDescriptionRole: return Description(group.Slot, property);
    case Qt::CheckStateRole:
      if (column != kValueColumn || property != kPolling) return {};
      return static_cast<int>(PollingOn(group.Slot) ? Qt::Checked : Qt::Unchecked);
    case kSlotRole: return group.Slot;
    default: return {};
  }
}

bool PropertyGridModel::PollingOn(uint8_t slot) const {
  return table_.Record(slot).PollingEnabled != 0;
}

bool PropertyGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || !checkIndex(index)) return false;
  if (index.internalId() == kGroupId || index.row() != kPolling || index.column() != kValueColumn) return false;
  auto slot = static_cast<uint8_t>(index.internalId());
  if (GroupRow(slot) < 0) return false;
  bool on = value.toInt() == Qt::Checked;
  table_.Record(slot).PollingEnabled = on ? 1 : 0;
  emit dataChanged(index, index, {Qt::CheckStateRole, Qt::DisplayRole});
  emit pollingChanged(slot, on);
  return true;
}

Qt::ItemFlags PropertyGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || !checkIndex(index)) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.internalId() == kGroupId) return flags;
  flags |= Qt::ItemNeverHasChildren;
  if (index.row() == kPolling && index.column() == kValueColumn) flags |= Qt::ItemIsUserCheckable;
  return flags;
}
