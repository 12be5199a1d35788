#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <vector>

// Entries that each carry a check mark: the antenna's frequency bands by
// default. An entry whose text contains "[DISABLED]" shows its mark but
// cannot be toggled.
class BandListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit BandListModel(QObject* parent = nullptr);
  BandListModel(const QStringList& texts, QObject* parent);

  // The 44 E-UTRA operating bands, entry k - 1 being band k.
  static QStringList BandTexts();
  static bool IsDisabled(const QString& text);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  bool IsMarked(int row) const;
  // Sets one mark, disabled entries included (a read shows what the device
  // has); false for a row that does not exist.
  bool SetMarked(int row, bool marked);
  // Flips the mark of an enabled entry; false when nothing changed.
  bool Toggle(int row);
  void ClearMarks();
  // Band numbers (row + 1) of the marked entries, in order.
  std::vector<int> MarkedBands() const;
  void SetMarkedBands(const std::vector<int>& bands);
  // The first two characters of every marked entry, joined by ", ".
  QString ClosedText() const;

 signals:
  void marksChanged();

 private:
  QStringList texts_;
  std::vector<bool> marks_;
};
