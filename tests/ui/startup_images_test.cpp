// The images the start-up now builds without decoding PNGs or searching the icon theme are the
// images it showed before: the window icon's compiled-in pixels against its PNGs, the logos'
// compiled-in pixels against their drawings, the calendar's arrows against the base style's own.
#include "ui/logos.h"
#include "ui/startup_style.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QStyleFactory>

#include <algorithm>
#include <cstdlib>

namespace lectoria {
namespace {

// Pixmaps keep their pixels premultiplied. Both sides are compared in that form: turning them back
// into plain ARGB rounds differently from one processor's vector unit to another's.
QImage Pixels(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST(StartupImages, WindowIconIsItsPngsPixelForPixel) {
    const QIcon icon = ApplicationIcon();
    ASSERT_EQ(icon.availableSizes(), QList<QSize>({{16, 16}, {32, 32}, {48, 48}, {256, 256}}));
    for (int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        const QImage png = ReadPng(QStringLiteral(LECTORIA_ICONS_DIR "/lectoria-%1.png").arg(size));
        ASSERT_FALSE(png.isNull());
        EXPECT_EQ(Pixels(icon.pixmap(QSize(size, size), 1.0)),
                  png.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
}

// After a change of a drawing, `--target lectoria-logos` renders the logos again. A few levels are
// allowed on the edges of letters, which another FreeType or hinting setting may shade otherwise.
// The drawings keep their design size at any ratio (sharp on a high-dpi screen) and their words
// inside (a clipped "minutes" once reached both edges).
TEST(StartupImages, LogosAreTheirDrawings) {
    const struct {
        QPixmap (*shown)(qreal);
        QPixmap (*drawn)(qreal);
        QSize design;
    } logos[] = {{TwentyMinutesLogo, DrawTwentyMinutesLogo, {30, 30}}, {MetroLogo, DrawMetroLogo, {50, 15}}};
    for (qreal ratio : {1.0, 2.0, 1.5})
        for (const auto& logo : logos) {
            SCOPED_TRACE(testing::Message() << ratio << " " << logo.design.width());
            const QPixmap shown = logo.shown(ratio), drawn = logo.drawn(ratio);
            ASSERT_EQ(shown.size(), drawn.size());
            EXPECT_EQ(shown.devicePixelRatio(), ratio);
            EXPECT_EQ(drawn.size(), logo.design * ratio);
            const QImage a = Pixels(shown), b = Pixels(drawn);
            EXPECT_EQ(a.pixel(0, 0), b.pixel(0, 0)); // the ground, exactly
            for (int y = 0; y < b.height(); ++y) {
                EXPECT_EQ(b.pixel(0, y), b.pixel(0, 0)) << y;
                EXPECT_EQ(b.pixel(b.width() - 1, y), b.pixel(0, 0)) << y;
            }
            int shaded = 0;
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x) {
                    const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
                    const int gap = std::max(
                        {std::abs(p.red() - q.red()), std::abs(p.green() - q.green()), std::abs(p.blue() - q.blue())});
                    ASSERT_LE(gap, 96) << x << "," << y;
                    shaded += gap > 8;
                }
            EXPECT_LE(shaded, a.width() * a.height() / 20);
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
