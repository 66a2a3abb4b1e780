// The images the start-up now builds without decoding PNGs or searching the icon theme are the
// images it showed before: the window icon's compiled-in pixels against its PNGs, the calendar's
// arrows against the base style's own.
#include "ui/logos.h"
#include "ui/startup_style.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QStyleFactory>

namespace lectoria {
namespace {

QImage Pixels(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(StartupImages, WindowIconIsItsPngsPixelForPixel) {
    const QIcon icon = ApplicationIcon();
    ASSERT_EQ(icon.availableSizes(), QList<QSize>({{16, 16}, {32, 32}, {48, 48}, {256, 256}}));
    for (int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        const QImage png = ReadPng(QStringLiteral(LECTORIA_ICONS_DIR "/lectoria-%1.png").arg(size));
        ASSERT_FALSE(png.isNull());
        EXPECT_EQ(Pixels(icon.pixmap(QSize(size, size), 1.0)), png.convertToFormat(QImage::Format_ARGB32));
    }
}

TEST(StartupImages, CalendarArrowsAreTheBaseStylesOwn) {
    // Offscreen there is no icon theme, so the base style gives its fallback images.
    QStyle* base = QStyleFactory::create(QStringLiteral("Fusion"));
    CalendarArrowsStyle style(QStyleFactory::create(QStringLiteral("Fusion")));
    QCalendarWidget calendar;
    for (const auto arrow : {QStyle::SP_ArrowLeft, QStyle::SP_ArrowRight}) {
        const QIcon ours = style.standardIcon(arrow, nullptr, &calendar);
        const QIcon theirs = base->standardIcon(arrow, nullptr, &calendar);
        ASSERT_EQ(ours.availableSizes(), theirs.availableSizes());
        for (const QSize& size : theirs.availableSizes())
            for (const auto mode : {QIcon::Normal, QIcon::Disabled}) {
                SCOPED_TRACE(size.width());
                EXPECT_EQ(Pixels(ours.pixmap(size, 1.0, mode)), Pixels(theirs.pixmap(size, 1.0, mode)));
            }
    }
    delete base;
}

} // namespace
} // namespace lectoria
