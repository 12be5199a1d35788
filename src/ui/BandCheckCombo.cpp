#include "ui/BandCheckCombo.h"

#include <QAbstractItemView>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "ui/BandListModel.h"

BandCheckCombo::BandCheckCombo(QWidget* parent) : BandCheckCombo(new BandListModel(nullptr), parent) {}

BandCheckCombo::BandCheckCombo(BandListModel* model, QWidget* parent) : QComboBox(parent), marks_(model) {
  if (!model->parent()) model->setParent(this);
  setModel(model);
  // The marks are the selection: no entry is "current" in the closed box.
  setCurrentIndex(-1);
  // The band ranges line up in columns in a fixed-pitch font.
  view()->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  view()->viewport()->installEventFilter(this);
  view()->installEventFilter(this);
  connect(model, &BandListModel::marksChanged, this, qOverload<>(&QWidget::update));
}

QString BandCheckCombo::ClosedText() const {
  return marks_->ClosedText();
}

int BandCheckCombo::PopupWidth() const {
  QFontMetrics metrics(view()->font());
  int longest = 0;
  for (int row = 0; row < marks_->rowCount(); ++row) {
    longest = std::max(longest, metrics.horizontalAdvance(marks_->index(row).data().toString()));
  }
  int checkBox =
      style()->pixelMetric(QStyle::PM_IndicatorWidth) + 2 * style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
  int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  return longest + checkBox + scrollBar + 4 * view()->frameWidth() + 16;
}

void BandCheckCombo::showPopup() {
  view()->setMinimumWidth(std::max(width(), PopupWidth()));
  QComboBox::showPopup();
}

// A release over an entry flips its mark; swallowing it keeps the list
// open, which the combo box would otherwise close on a click. Space flips
// the entry at the cursor, for the keyboard.
bool BandCheckCombo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view()->viewport() && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    ToggleAt(view()->indexAt(mouse->position().toPoint()));
    return true;
  }
  if (watched == view() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
    ToggleAt(view()->currentIndex());
    return true;
  }
  return QComboBox::eventFilter(watched, event);
}

void BandCheckCombo::ToggleAt(const QModelIndex& at) {
  if (at.isValid() && marks_->Toggle(at.row())) emit markToggled(at.row());
}

void BandCheckCombo::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText = ClosedText();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
