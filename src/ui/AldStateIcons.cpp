#include "ui/AldStateIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// Drawn on a 16-unit square and scaled, so every size is crisp.
constexpr double kUnit = 16.0;

void DrawDisc(QPainter& p, const QColor& fill, const QColor& rim) {
  p.setPen(QPen(rim, 1.2));
  p.setBrush(fill);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
}

void DrawTick(QPainter& p) {
  p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPainterPath tick;
  tick.moveTo(4.5, 8.3);
  tick.lineTo(7.0, 10.8);
  tick.lineTo(11.5, 5.5);
  p.setBrush(Qt::NoBrush);
  p.drawPath(tick);
}

void DrawCross(QPainter& p) {
  p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
  p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
}

// A tilted antenna line with an arrow head: the RET is moving.
void DrawTiltArrow(QPainter& p) {
  p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawLine(QPointF(5.0, 11.0), QPointF(11.0, 5.0));
  QPainterPath head;
  head.moveTo(7.6, 5.0);
  head.lineTo(11.0, 5.0);
  head.lineTo(11.0, 8.4);
  p.drawPath(head);
}

void DrawRing(QPainter& p) {
  p.setPen(QPen(QColor(110, 110, 110), 1.6));
  p.setBrush(QColor(225, 225, 225));
  p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
}

QPixmap Draw(int state, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / kUnit, size / kUnit);
  switch (state) {
    case AldStateIcons::kConnected:
      DrawDisc(p, QColor(30, 150, 50), QColor(15, 95, 30));
      DrawTick(p);
      break;
    case AldStateIcons::kCalibrating:
      DrawDisc(p, QColor(230, 150, 0), QColor(160, 100, 0));
      DrawTiltArrow(p);
      break;
    case AldStateIcons::kDisconnected:
      DrawDisc(p, QColor(205, 30, 30), QColor(140, 15, 15));
      DrawCross(p);
      break;
    default: DrawRing(p); break;
  }
  return pixmap;
}

}  // namespace

QIcon AldStateIcons::Icon(int state) {
  QIcon icon;
  for (int size : {16, 24, 32}) icon.addPixmap(Draw(state, size));
  return icon;
}

QString AldStateIcons::Text(int state) {
  switch (state) {
    case kConnected: return QStringLiteral("Connected");
    case kCalibrating: return QStringLiteral("Calibrating");
    case kDisconnected: return QStringLiteral("Disconnected");
    default: return QStringLiteral("Not connected");
  }
}
