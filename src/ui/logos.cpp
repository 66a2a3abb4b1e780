#include "ui/logos.h"

#include "ui/image_pixels.h"

#include <QFontMetricsF>
#include <QImage>
#include <QImageReader>
#include <QPainter>

namespace lectoria {

namespace {

// One seven-segment digit in a w x h box: segments a..g as bits 0..6.
void DrawSegmentDigit(QPainter& p, QRectF box, int segments) {
    const qreal t = box.width() / 4.5;
    const qreal w = box.width();
    const qreal h = box.height() / 2;
    const QRectF bars[7] = {
        {box.left() + t / 2, box.top(), w - t, t},             // a
        {box.right() - t, box.top() + t / 2, t, h - t / 2},    // b
        {box.right() - t, box.top() + h, t, h - t / 2},        // c
        {box.left() + t / 2, box.bottom() - t, w - t, t},      // d
        {box.left(), box.top() + h, t, h - t / 2},             // e
        {box.left(), box.top() + t / 2, t, h - t / 2},         // f
        {box.left() + t / 2, box.top() + h - t / 2, w - t, t}, // g
    };
    for (int i = 0; i < 7; ++i)
        if (segments & (1 << i))
            p.fillRect(bars[i], Qt::white);
}

// Each logo is drawn at the screen's pixel ratio, so that it stays sharp on high-dpi screens;
// the painter works in the logo's own 30 x 30 or 50 x 15 units.
QPixmap Canvas(int width, int height, qreal pixelRatio) {
    QPixmap pixmap(QSize(width, height) * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    return pixmap;
}

} // namespace

QPixmap DrawTwentyMinutesLogo(qreal pixelRatio) {
    QPixmap pixmap = Canvas(30, 30, pixelRatio);
    pixmap.fill(QColor(0, 84, 166));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    DrawSegmentDigit(p, QRectF(5, 3, 9, 16), 0b1011011);  // 2: a b d e g
    DrawSegmentDigit(p, QRectF(16, 3, 9, 16), 0b0111111); // 0: a b c d e f
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(7); // bold at 8 px "minutes" is wider than the square
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 20, 30, 9), Qt::AlignCenter, QStringLiteral("minutes"));
    return pixmap;
}

QPixmap DrawMetroLogo(qreal pixelRatio) {
    QPixmap pixmap = Canvas(50, 15, pixelRatio);
    pixmap.fill(QColor(0, 150, 64));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    const QString letters = QStringLiteral("metr");
    const qreal width = QFontMetricsF(font).horizontalAdvance(letters);
    const qreal left = (50 - width - 9) / 2;
    p.drawText(QRectF(left, 0, width + 1, 15), Qt::AlignVCenter | Qt::AlignLeft, letters);
    // The "o" as a small globe: a circle with a meridian and the equator.
    const QRectF globe(left + width + 0.5, 4.5, 7.5, 7.5);
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(globe);
    p.drawLine(QPointF(globe.left(), globe.center().y()), QPointF(globe.right(), globe.center().y()));
    p.drawEllipse(QRectF(globe.center().x() - 1.6, globe.top(), 3.2, globe.height()));
    return pixmap;
}

namespace {

// A compiled-in image as a pixmap of its own (the pixels are copied).
QPixmap PixmapOf(const ImagePixels& pixels) {
    return QPixmap::fromImage(QImage(reinterpret_cast<const uchar*>(pixels.argb), pixels.width, pixels.height,
                                     pixels.width * 4, QImage::Format_ARGB32));
}

// The compiled-in image of a logo of width x height units at this pixel ratio, if there is one.
QPixmap StoredLogo(int width, int height, qreal pixelRatio) {
    for (int i = 0; i < kLogoPixelsCount; ++i) {
        const ImagePixels& pixels = kLogoPixels[i];
        if (pixels.width != qRound(width * pixelRatio) || pixels.height != qRound(height * pixelRatio) ||
            !qFuzzyCompare(pixels.width / pixelRatio, qreal(width)))
            continue;
        QPixmap pixmap = PixmapOf(pixels);
        pixmap.setDevicePixelRatio(pixelRatio);
        return pixmap;
    }
    return {};
}

} // namespace

QPixmap TwentyMinutesLogo(qreal pixelRatio) {
    const QPixmap stored = StoredLogo(30, 30, pixelRatio);
    return stored.isNull() ? DrawTwentyMinutesLogo(pixelRatio) : stored;
}

QPixmap MetroLogo(qreal pixelRatio) {
    const QPixmap stored = StoredLogo(50, 15, pixelRatio);
    return stored.isNull() ? DrawMetroLogo(pixelRatio) : stored;
}

QImage ReadPng(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QIcon ApplicationIcon() {
    // Decoded once: the application and each window take the same icon. Never destroyed, so
    // that no pixmap outlives the application object.
    static const QIcon* const icon = [] {
        auto* images = new QIcon;
        for (int i = 0; i < kIconPixelsCount; ++i)
            images->addPixmap(PixmapOf(kIconPixels[i]));
        return images;
    }();
    return *icon;
}

} // namespace lectoria
