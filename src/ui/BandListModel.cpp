#include "ui/BandListModel.h"

namespace {

// The dash of a band range; bands 11, 20, 21 and 32 are written with a
// hyphen in the band table and keep it.
const QString kDash = QStringLiteral("\u2013");

QString Band(const char* text) {
  return QString::fromLatin1(text).replace(QLatin1Char('~'), kDash);
}

}  // namespace

BandListModel::BandListModel(QObject* parent) : BandListModel(BandTexts(), parent) {}

BandListModel::BandListModel(const QStringList& texts, QObject* parent)
    : QAbstractListModel(parent), texts_(texts), marks_(static_cast<size_t>(texts.size()), false) {}

QStringList BandListModel::BandTexts() {
  static const char* const kBands[] = {
      " 1: U 1920.0 ~ 1980.0 | D 2110.0 ~ 2170.0", " 2: U 1850.0 ~ 1910.0 | D 1930.0 ~ 1990.0",
      " 3: U 1710.0 ~ 1785.0 | D 1805.0 ~ 1880.0", " 4: U 1710.0 ~ 1755.0 | D 2110.0 ~ 2155.0",
      " 5: U  824.0 ~  849.0 | D  869.0 ~  894.0", " 6: U  830.0 ~  840.0 | D  875.0 ~  885.0",
      " 7: U 2500.0 ~ 2570.0 | D 2620.0 ~ 2690.0", " 8: U  880.0 ~  915.0 | D  925.0 ~  960.0",
      " 9: U 1749.9 ~ 1784.9 | D 1844.9 ~ 1879.9", "10: U 1710.0 ~ 1770.0 | D 2110.0 ~ 2170.0",
      "11: U 1427.9 - 1447.9 | D 1475.9 - 1495.9", "12: U  699.0 ~  716.0 | D  729.0 ~  746.0",
      "13: U  777.0 ~  787.0 | D  746.0 ~  756.0", "14: U  788.0 ~  798.0 | D  758.0 ~  768.0",
      "15: U Reserved        | D Reserved       ", "16: U Reserved        | D Reserved       ",
      "17: U  704.0 ~  716.0 | D  734.0 ~  746.0", "18: U  815.0 ~  830.0 | D  860.0 ~  875.0",
      "19: U  830.0 ~  845.0 | D  875.0 ~  890.0", "20: U  832.0 -  862.0 | D  791.0 -  821.0",
      "21: U 1447.9 - 1462.9 | D 1495.9 - 1510.9", "22: U 3410.0 ~ 3490.0 | D 3510.0 ~ 3590.0",
      "23: U 2000.0 ~ 2020.0 | D 2180.0 ~ 2200.0", "24: U 1626.5 ~ 1660.5 | D 1525.0 ~ 1559.0",
      "25: U 1850.0 ~ 1915.0 | D 1930.0 ~ 1995.0", "26: U  814.0 ~  849.0 | D  859.0 ~  894.0",
      "27: U  807.0 ~  824.0 | D  852.0 ~  869.0", "28: U  703.0 ~  748.0 | D  758.0 ~  803.0",
      "29: U    N/A          | D  717.0 ~  728.0", "30: U 2305.0 ~ 2315.0 | D 2350.0 ~ 2360.0",
      "31: U  452.5 ~  457.5 | D  462.5 ~  467.5", "32: U N/A             | D 1452.0 - 1496.0",
      "33: U 1900.0 ~ 1920.0 | D 1900.0 ~ 1920.0", "34: U 2010.0 ~ 2025.0 | D 2010.0 ~ 2025.0",
      "35: U 1850.0 ~ 1910.0 | D 1850.0 ~ 1910.0", "36: U 1930.0 ~ 1990.0 | D 1930.0 ~ 1990.0",
      "37: U 1910.0 ~ 1930.0 | D 1910.0 ~ 1930.0", "38: U 2570.0 ~ 2620.0 | D 2570.0 ~ 2620.0",
      "39: U 1880.0 ~ 1920.0 | D 1880.0 ~ 1920.0", "40: U 2300.0 ~ 2400.0 | D 2300.0 ~ 2400.0",
      "41: U 2496.0 ~ 2690.0 | D 2496.0 ~ 2690.0", "42: U 3400.0 ~ 3600.0 | D 3400.0 ~ 3600.0",
      "43: U 3600.0 ~ 3800.0 | D 3600.0 ~ 3800.0", "44: U  703.0 ~  803.0 | D  703.0 ~  803.0",
  };
  QStringList texts;
  for (const char* b : kBands) texts << Band(b);
  return texts;
}

bool BandListModel::IsDisabled(const QString& text) {
  return text.contains(QLatin1String("[DISABLED]"));
}

int BandListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(texts_.size());
}

QVariant BandListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole) return texts_[index.row()];
  if (role == Qt::CheckStateRole) return IsMarked(index.row()) ? Qt::Checked : Qt::Unchecked;
  return {};
}

bool BandListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || IsDisabled(texts_[index.row()])) return false;
  return SetMarked(index.row(), value.toInt() == Qt::Checked);
}

Qt::ItemFlags BandListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  if (IsDisabled(texts_[index.row()])) return Qt::ItemNeverHasChildren;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
}

bool BandListModel::IsMarked(int row) const {
  return row >= 0 && row < rowCount() && marks_[static_cast<size_t>(row)];
}

bool BandListModel::SetMarked(int row, bool marked) {
  if (row < 0 || row >= rowCount()) return false;
  if (marks_[static_cast<size_t>(row)] != marked) {
    marks_[static_cast<size_t>(row)] = marked;
    QModelIndex at = index(row);
    emit dataChanged(at, at, {Qt::CheckStateRole});
    emit marksChanged();
  }
  return true;
}

bool BandListModel::Toggle(int row) {
  if (row < 0 || row >= rowCount() || IsDisabled(texts_[row])) return false;
  return SetMarked(row, !IsMarked(row));
}

void BandListModel::ClearMarks() {
  for (int row = 0; row < rowCount(); ++row) SetMarked(row, false);
}

std::vector<int> BandListModel::MarkedBands() const {
  std::vector<int> bands;
  for (int row = 0; row < rowCount(); ++row) {
    if (IsMarked(row)) bands.push_back(row + 1);
  }
  return bands;
}

void BandListModel::SetMarkedBands(const std::vector<int>& bands) {
  std::vector<bool> wanted(marks_.size(), false);
  for (int band : bands) {
    if (band >= 1 && band <= rowCount()) wanted[static_cast<size_t>(band - 1)] = true;
  }
  for (int row = 0; row < rowCount(); ++row) SetMarked(row, wanted[static_cast<size_t>(row)]);
}

QString BandListModel::ClosedText() const {
  QStringList parts;
  for (int row = 0; row < rowCount(); ++row) {
    if (IsMarked(row)) parts << texts_[row].left(2);
  }
  return parts.join(QStringLiteral(", "));
}
