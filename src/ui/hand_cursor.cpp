#include "ui/hand_cursor.h"

#include <QPainter>
#include <QPainterPath>

namespace lectoria {

QPixmap HandCursorImage() {
    QPixmap image(kHandCursorSize, kHandCursorSize);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);

    // The hand: the raised index finger (its tip at the hot spot), three folded fingers,
    // the thumb on the left and the palm, in one outline.
    QPainterPath hand;
    hand.moveTo(10, 3);
    hand.quadTo(10, 1, 12, 1);
    hand.quadTo(14, 1, 14, 3);
    hand.lineTo(14, 11);
    hand.lineTo(17, 11);
    hand.lineTo(17, 12);
    hand.lineTo(20, 12);
    hand.lineTo(20, 13);
    hand.lineTo(23, 13);
    hand.quadTo(25, 13, 25, 15);
    hand.lineTo(25, 21);
    hand.quadTo(25, 24, 23, 25);
    hand.lineTo(11, 25);
    hand.lineTo(5, 18);
    hand.quadTo(4, 16, 6, 15);
    hand.lineTo(10, 17);
    hand.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    // Creases between the folded fingers.
    p.drawLine(17, 12, 17, 16);
    p.drawLine(20, 13, 20, 16);

    // The cuff.
    p.setBrush(QColor(0, 0, 255));
    p.drawRect(11, 25, 13, 5);
    p.end();
    return image;
}

QCursor HandCursor() {
    return QCursor(HandCursorImage(), kHandCursorHotSpot.x(), kHandCursorHotSpot.y());
}

} // namespace lectoria
