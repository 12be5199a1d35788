#pragma once

#include <QComboBox>
#include <QStandardItemModel>

// A drop-down list whose entries carry check marks, for the output pane's
// level and class filters. A click on an open entry flips its mark and
// leaves the list open; the closed box names the marked entries.
class TraceFilterCombo : public QComboBox {
  Q_OBJECT

 public:
  // allText names the box when every entry is marked.
  explicit TraceFilterCombo(QString allText, QWidget* parent = nullptr);

  // Adds an entry, marked; commandId goes into the entry's user data.
  void AddEntry(const QString& text, int commandId);
  bool IsChecked(int entry) const;
  // Sets a mark without emitting CheckToggled.
  void SetCheckedQuietly(int entry, bool checked);
  QStandardItemModel* Entries() const { return entries_; }
  QString Summary() const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 signals:
  // The user flipped the mark of an entry.
  void CheckToggled(int entry, bool checked);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void OnItemChanged(QStandardItem* item);

  QString allText_;
  QStandardItemModel* entries_;
  bool quiet_ = false;
  bool pressedInList_ = false;  // the release of the click that opened the list is no choice
};
