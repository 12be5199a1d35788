#include "ui/TraceFilterCombo.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStylePainter>

TraceFilterCombo::TraceFilterCombo(QString allText, QWidget* parent)
    : QComboBox(parent), allText_(std::move(allText)), entries_(new QStandardItemModel(this)) {
  setModel(entries_);
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
  view()->viewport()->installEventFilter(this);
  view()->installEventFilter(this);
  connect(entries_, &QStandardItemModel::itemChanged, this, &TraceFilterCombo::OnItemChanged);
}

void TraceFilterCombo::AddEntry(const QString& text, int commandId) {
  auto* item = new QStandardItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren);
  item->setData(Qt::Checked, Qt::CheckStateRole);
  item->setData(commandId, Qt::UserRole);
  quiet_ = true;
  entries_->appendRow(item);
  quiet_ = false;
  updateGeometry();
}

bool TraceFilterCombo::IsChecked(int entry) const {
  QStandardItem* item = entries_->item(entry);
  return item && item->checkState() == Qt::Checked;
}

void TraceFilterCombo::SetCheckedQuietly(int entry, bool checked) {
  QStandardItem* item = entries_->item(entry);
  if (!item || IsChecked(entry) == checked) return;
  quiet_ = true;
  item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  quiet_ = false;
  update();
}

void TraceFilterCombo::OnItemChanged(QStandardItem* item) {
  update();
  if (!quiet_) emit CheckToggled(item->row(), item->checkState() == Qt::Checked);
}

QString TraceFilterCombo::Summary() const {
  QStringList marked;
  for (int i = 0; i < entries_->rowCount(); ++i) {
    if (IsChecked(i)) marked << entries_->item(i)->text();
  }
  if (marked.size() == entries_->rowCount()) return allText_;
  return marked.isEmpty() ? tr("none") : marked.join(QStringLiteral(", "));
}

// Wide enough for the longest summary, so the box never changes its width
// when marks change.
QSize TraceFilterCombo::sizeHint() const {
  QStringList all;
  for (int i = 0; i < entries_->rowCount(); ++i) all << entries_->item(i)->text();
  QString widest = all.join(QStringLiteral(", "));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  QSize text = fontMetrics().size(Qt::TextSingleLine, widest.size() > allText_.size() ? widest : allText_);
  return style()->sizeFromContents(QStyle::CT_ComboBox, &option, text + QSize(4, 0), this);
}

bool TraceFilterCombo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view()->viewport() && event->type() == QEvent::MouseButtonPress) pressedInList_ = true;
  if (event->type() == QEvent::Hide) pressedInList_ = false;
  bool mouse = watched == view()->viewport() && event->type() == QEvent::MouseButtonRelease;
  if (mouse && !pressedInList_) return true;
  bool key = watched == view() && event->type() == QEvent::KeyPress &&
             (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space ||
              static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
              static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
  if (!mouse && !key) return QComboBox::eventFilter(watched, event);
  QModelIndex index =
      mouse ? view()->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()) : view()->currentIndex();
  if (QStandardItem* item = entries_->itemFromIndex(index)) {
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
  return true;
}

void TraceFilterCombo::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText = Summary();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
