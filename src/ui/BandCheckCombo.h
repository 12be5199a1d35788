#pragma once

#include <QComboBox>

class BandListModel;

// A drop-down list whose entries carry check marks. A click on an entry of
// the open list, or Space on the one at the cursor, flips its mark and
// leaves the list open; entries marked
// "[DISABLED]" keep theirs. Closed, the box shows the first two characters
// of every marked entry, joined by ", ". The open list is as wide as its
// longest entry.
class BandCheckCombo : public QComboBox {
  Q_OBJECT

 public:
  // Over a model of its own with the antenna's frequency bands.
  explicit BandCheckCombo(QWidget* parent = nullptr);
  BandCheckCombo(BandListModel* model, QWidget* parent);

  BandListModel* Marks() const { return marks_; }
  // What the closed box shows.
  QString ClosedText() const;

  void showPopup() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // A click or Space in the open list changed a mark.
  void markToggled(int row);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Width of the open list that shows the longest entry whole.
  int PopupWidth() const;
  void ToggleAt(const QModelIndex& at);

  BandListModel* marks_;
};
