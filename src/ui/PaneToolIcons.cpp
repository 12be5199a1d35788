#include "ui/PaneToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

constexpr double kUnit = 16.0;
const QColor kInk(40, 100, 200);
const QColor kLine(90, 90, 90);

QIcon Drawn(const std::function<void(QPainter&)>& draw) {
  QIcon icon;
  for (int size : {16, 24, 32}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kUnit, size / kUnit);
    draw(p);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

void DrawBox(QPainter& p, double x, double y, bool plus) {
  p.setPen(QPen(kInk, 1.0));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(x, y, 6, 6));
  p.drawLine(QPointF(x + 1.5, y + 3), QPointF(x + 4.5, y + 3));
  if (plus) p.drawLine(QPointF(x + 3, y + 1.5), QPointF(x + 3, y + 4.5));
}

}  // namespace

QIcon PaneToolIcons::ExpandCollapse() {
  return Drawn([](QPainter& p) {
    p.setPen(QPen(kLine, 1.0));
    p.drawLine(QPointF(4, 7.5), QPointF(4, 12.5));
    p.drawLine(QPointF(4, 12.5), QPointF(8.5, 12.5));
    p.drawLine(QPointF(7, 4), QPointF(14.5, 4));
    p.drawLine(QPointF(11, 12.5), QPointF(14.5, 12.5));
    DrawBox(p, 1, 1, false);
    DrawBox(p, 7.5, 9.5, true);
  });
}

QIcon PaneToolIcons::Properties() {
  return Drawn([](QPainter& p) {
    p.setPen(QPen(kLine, 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.drawLine(QPointF(6.5, 1.5), QPointF(6.5, 14.5));
    for (double y : {5.5, 9.5}) p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
    p.setPen(QPen(kInk, 1.4));
    for (double y : {3.5, 7.5, 12.0}) p.drawLine(QPointF(8.5, y), QPointF(12.5, y));
  });
}

QIcon PaneToolIcons::Refresh() {
  return Drawn([](QPainter& p) {
    p.setPen(QPen(QColor(30, 150, 50), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 290 * 16);
    QPainterPath head;
    head.moveTo(9.0, 0.8);
    head.lineTo(13.2, 3.6);
    head.lineTo(8.6, 5.8);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 150, 50));
    p.drawPath(head);
  });
}
