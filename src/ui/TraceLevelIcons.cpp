#include "ui/TraceLevelIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void DrawError(QPainter& p) {
  p.setBrush(QColor(0xD3, 0x2F, 0x2F));
  p.setPen(QPen(QColor(0x8E, 0x1B, 0x1B), 0.8));
  p.drawEllipse(QRectF(1, 1, 14, 14));
  p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
  p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
}

void DrawWarning(QPainter& p) {
  QPainterPath triangle;
  triangle.moveTo(8, 1.2);
  triangle.lineTo(15.2, 14.6);
  triangle.lineTo(0.8, 14.6);
  triangle.closeSubpath();
  p.setBrush(QColor(0xF5, 0xB3, 0x00));
  p.setPen(QPen(QColor(0x9A, 0x6B, 0x00), 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(triangle);
  p.setPen(QPen(Qt::black, 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(8, 5.6), QPointF(8, 9.8));
  p.drawPoint(QPointF(8, 12.4));
}

void DrawInformation(QPainter& p) {
  p.setBrush(QColor(0x1E, 0x6F, 0xD9));
  p.setPen(QPen(QColor(0x12, 0x47, 0x8C), 0.8));
  p.drawEllipse(QRectF(1, 1, 14, 14));
  p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawPoint(QPointF(8, 4.8));
  p.drawLine(QPointF(8, 7.4), QPointF(8, 11.6));
}

QPixmap Draw(int level, int scale) {
  QPixmap pixmap(16 * scale, 16 * scale);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  if (level == 0) DrawError(p);
  if (level == 1) DrawWarning(p);
  if (level == 2) DrawInformation(p);
  return pixmap;
}

}  // namespace

QIcon TraceLevelIcon(int level) {
  QIcon icon;
  for (int scale : {1, 2}) icon.addPixmap(Draw(level, scale));
  return icon;
}
