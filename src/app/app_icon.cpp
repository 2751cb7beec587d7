#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace veltra::app {

namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size / 32.0;
  // Pins.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xB0, 0xB0, 0xB0));
  for (int i = 0; i < 4; ++i) {
    const qreal y = (7 + i * 5.5) * s;
    painter.drawRect(QRectF(2 * s, y, 4 * s, 2.5 * s));
    painter.drawRect(QRectF(26 * s, y, 4 * s, 2.5 * s));
  }
  // Package.
  painter.setBrush(QColor(0x1F, 0x3A, 0x5F));
  painter.drawRoundedRect(QRectF(5 * s, 4 * s, 22 * s, 24 * s), 3 * s, 3 * s);
  // A sound wave across it.
  QPen wave(QColor(0x4F, 0xC3, 0xF7));
  wave.setWidthF(2.2 * s);
  wave.setCapStyle(Qt::RoundCap);
  painter.setPen(wave);
  QPainterPath path;
  path.moveTo(8 * s, 16 * s);
  path.cubicTo(11 * s, 6 * s, 13 * s, 6 * s, 16 * s, 16 * s);
  path.cubicTo(19 * s, 26 * s, 21 * s, 26 * s, 24 * s, 16 * s);
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(path);
  return pixmap;
}

}  // namespace

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64})
    icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace veltra::app
