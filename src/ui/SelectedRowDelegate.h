#pragma once

#include <QStyledItemDelegate>

// Draws the selected row white on pure blue whether or not its view has the
// focus, so the ALD in use stays plain to see while the user works in
// another window. The style's own selection colours never show.
class SelectedRowDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  static const QColor kBackground;
  static const QColor kText;

  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
