#pragma once

#include <QProxyStyle>

namespace lectoria {

// The application's style, unchanged but for the month calendar's two arrows, which it takes
// straight from Qt's own images. Qt's styles look such arrows up in the desktop's icon theme
// first, a search through the theme's folders and plugins that cost the window a sixth of its
// start-up; on Debian's themes it finds nothing and falls back on these same images. They are
// decoded without Qt's image plugins (ReadPng).
class CalendarArrowsStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override;
};

} // namespace lectoria
