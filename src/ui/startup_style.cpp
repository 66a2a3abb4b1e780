#include "ui/startup_style.h"

#include "ui/logos.h"

#include <QCalendarWidget>

namespace lectoria {

QIcon CalendarArrowsStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const {
    const bool arrow = icon == SP_ArrowLeft || icon == SP_ArrowRight;
    if (!arrow || !qobject_cast<const QCalendarWidget*>(widget))
        return QProxyStyle::standardIcon(icon, option, widget);
    // The sizes and files of Qt's own fallback.
    const QString side = icon == SP_ArrowLeft ? QStringLiteral("left") : QStringLiteral("right");
    QIcon images;
    for (int size : {16, 32, 128}) {
        const QImage image =
            ReadPng(QStringLiteral(":/qt-project.org/styles/commonstyle/images/%1-%2.png").arg(side).arg(size));
        if (!image.isNull())
            images.addPixmap(QPixmap::fromImage(image));
    }
    return images;
}

} // namespace lectoria
