#include "views/qt/hand_cursor.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pellvane {

QCursor HandCursor() {
  QPixmap image(32, 32);
  image.fill(Qt::transparent);
  QPainterPath hand;
  hand.setFillRule(Qt::WindingFill);
  hand.addRoundedRect(10, 1, 5, 16, 2, 2);  // the index finger, its tip at the hot spot
  hand.addRoundedRect(14, 9, 5, 9, 2, 2);   // the other fingers, bent
  hand.addRoundedRect(18, 10, 5, 9, 2, 2);
  hand.addRoundedRect(22, 12, 5, 8, 2, 2);
  hand.addRoundedRect(10, 14, 17, 15, 4, 4);  // the palm
  hand.addRoundedRect(4, 15, 8, 5, 2, 2);     // the thumb
  QPainter painter(&image);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::white);
  painter.drawPath(hand.simplified());
  painter.end();
  return QCursor(image, kHandHotSpot.x(), kHandHotSpot.y());
}

}  // namespace pellvane
