#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "bus/BusView.h"

// The rows of the ALD list as the bus side last filled them. Every row keeps
// all of its texts, whichever columns are shown, so a new field selection
// changes the columns without losing a listed ALD.
class AldRowsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The fields the list can show, as bits of "AldListFields".
  enum Field : uint8_t {
    kFieldAld = 0,
    kFieldUniqueId = 1,
    kFieldTilt = 13,
  };

  explicit AldRowsModel(QObject* parent = nullptr);

  // Shows the columns of the bits 0, 1 and 13 of fields, in that order.
  void SetFields(uint32_t fields);
  Field FieldOfColumn(int column) const { return columns_.at(static_cast<size_t>(column)); }
  int ColumnOf(Field field) const;

  void AddRow(size_t row, const std::string& key);
  void FillRow(size_t row, const BusView::RowContents& contents);
  void Clear();

  // The slot at the start of the row's key; 0 for a key that names none.
  uint8_t SlotOfRow(int row) const;
  int FirstRowOfSlot(uint8_t slot) const;
  static uint8_t SlotOfKey(const QString& key);

  static QString Heading(Field field);
  // Width in pixels a column wants at least.
  static int MinimumWidth(Field field);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  struct Row {
    QString Key;
    uint8_t Slot = 0;
    int Icon = 0;
    QString UniqueId;
    QString Tilt;
  };

  static QVariant DisplayText(const Row& row, Field field);
  QIcon StateIcon(int state) const;

  std::vector<Row> rows_;
  std::vector<Field> columns_;
  std::array<QIcon, 4> icons_;
};
