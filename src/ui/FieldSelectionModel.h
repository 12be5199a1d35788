#pragma once

#include <QAbstractListModel>
#include <array>
#include <cstdint>

#include "persist/Settings.h"

// The ALD list field selector: the 16 fields of "AldListFields" as " 0: ALD
// [DISABLED]" to "15: Tma Gain", each with a check mark. Field 0 is always
// marked and cannot be switched off.
class FieldSelectionModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using Marks = std::array<bool, Settings::kAldListFieldCount>;

  explicit FieldSelectionModel(QObject* parent = nullptr);

  void SetFields(uint32_t fields);
  const Marks& Checked() const { return checked_; }
  static QString EntryText(int field);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // The user toggled a mark.
  void marksChanged();

 private:
  Marks checked_{};
};
