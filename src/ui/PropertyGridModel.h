#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "bus/BusView.h"

class AldTable;

// The property grid: a two-column tree with one group "ALD #n" per shown
// slot, in slot order, each with the properties UniqueId, Status, Type,
// Version and Polling. The four texts are what the bus side showed last;
// Polling is the record's own PollingEnabled, read and written in place.
class PropertyGridModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  enum Property : uint8_t { kUniqueId = 0, kStatus, kType, kVersion, kPolling, kPropertyCount };
  static constexpr int kNameColumn = 0;
  static constexpr int kValueColumn = 1;
  // Extra data roles.
  static constexpr int kSlotRole = Qt::UserRole + 1;
  static constexpr int kDescriptionRole = Qt::UserRole + 2;

  explicit PropertyGridModel(AldTable& table, QObject* parent = nullptr);

  // Shows the slot's group, when hidden, and sets its four texts.
  void Show(uint8_t slot, const BusView::AldProperties& properties);
  void SetStatus(uint8_t slot, const std::string& status);
  // Hides the group and empties its texts.
  void Hide(uint8_t slot);
  bool IsShown(uint8_t slot) const { return GroupRow(slot) >= 0; }

  QModelIndex GroupIndex(uint8_t slot) const;
  QModelIndex PropertyIndex(uint8_t slot, Property property, int column = kValueColumn) const;
  // The slot a group or property belongs to; 0 for none.
  static uint8_t SlotOf(const QModelIndex& index);

  static QString GroupName(uint8_t slot);
  static QString PropertyName(Property property);
  static QString Description(uint8_t slot, Property property);

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // The grid hides its header; a screen reader still reads the columns'
  // names.
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // The user switched the slot's polling.
  void pollingChanged(uint8_t slot, bool enabled);

 private:
  struct Group {
    uint8_t Slot = 0;
    std::array<QString, 4> Texts;
  };

  int GroupRow(uint8_t slot) const;
  QVariant GroupData(const Group& group, int column, int role) const;
  QVariant PropertyData(const Group& group, Property property, int column, int role) const;
  bool PollingOn(uint8_t slot) const;

  AldTable& table_;
  // Shown groups only, ordered by slot. A child index carries its group's
  // slot as internal id; a group index carries 0.
  std::vector<Group> groups_;
};
