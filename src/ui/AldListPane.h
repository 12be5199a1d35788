#pragma once

#include <QWidget>
#include <cstddef>
#include <cstdint>

#include "bus/BusView.h"

class AldRowsModel;
class QModelIndex;
class QTableView;

// The ALD list pane: one row per ALD, or per subunit of an ALD with
// several. Rows are keyed "n" or "n.s"; the slot is the number before the
// dot, never the row position.
class AldListPane : public QWidget {
  Q_OBJECT

 public:
  explicit AldListPane(QWidget* parent = nullptr);

  // Rebuilds the columns from the "AldListFields" bits (0, 1 and 13). The
  // rows stay: the bus side keeps listing into them and never lists an ALD
  // twice, so emptying them would lose ALDs until the next bus reset.
  void SetColumns(uint32_t aldListFields);
  void AddRow(size_t row, const std::string& key);
  void FillRow(size_t row, const BusView::RowContents& contents);
  void ClearRows();
  // Selects the slot's first row (a device window became active).
  void SelectSlot(uint8_t slot);

  QTableView* View() const { return view_; }
  AldRowsModel* Model() const { return model_; }

 signals:
  // The user clicked a row of this slot.
  void slotClicked(uint8_t slot);

 private:
  void OnClicked(const QModelIndex& index);
  void SizeColumns();

  AldRowsModel* model_;
  QTableView* view_;
};
