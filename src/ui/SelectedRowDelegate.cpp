#include "ui/SelectedRowDelegate.h"

#include <QPainter>

const QColor SelectedRowDelegate::kBackground = QColor(0, 0, 255);
const QColor SelectedRowDelegate::kText = QColor(255, 255, 255);

void SelectedRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  if (!option.state.testFlag(QStyle::State_Selected)) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem plain(option);
  plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
  plain.palette.setColor(QPalette::Text, kText);
  plain.palette.setColor(QPalette::WindowText, kText);
  painter->fillRect(option.rect, kBackground);
  QStyledItemDelegate::paint(painter, plain, index);
}
