#include "ui/hand_cursor.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace px316t {

QCursor handCursor()
{
    // A white hand with a black outline: the index finger points straight up with
    // its tip at the hot spot, three bent fingers and the thumb below it.
    QPainterPath hand;
    hand.addRoundedRect(QRectF(10, 1, 5, 17), 2.5, 2.5);    // index finger, tip at (12, 1)
    hand.addRoundedRect(QRectF(14, 10, 5, 10), 2.5, 2.5);   // bent fingers
    hand.addRoundedRect(QRectF(18, 11, 5, 10), 2.5, 2.5);
    hand.addRoundedRect(QRectF(22, 13, 5, 9), 2.5, 2.5);
    hand.addRoundedRect(QRectF(10, 16, 17, 14), 4, 4);      // palm
    QPainterPath thumb;
    thumb.moveTo(11, 24);
    thumb.lineTo(4, 17);
    thumb.quadTo(2, 15, 4, 14);
    thumb.quadTo(6, 13, 8, 15);
    thumb.lineTo(11, 18);
    thumb.closeSubpath();
    hand = hand.united(thumb).simplified();

    QPixmap image(32, 32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawPath(hand);
    painter.end();
    return QCursor(image, HandCursorHotSpot.x(), HandCursorHotSpot.y());
}

} // namespace px316t
