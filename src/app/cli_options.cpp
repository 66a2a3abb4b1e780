#include "cli_options.h"

#include "rules/editions.h"

#include <QRegularExpression>

namespace lectoria::cli {

std::optional<QString> PaperFromArgument(const QString& argument) {
    QString folded = argument.toLower();
    folded.remove(QLatin1Char(' '));
    if (folded == QLatin1String("20minutes"))
        return kTwentyMinutes;
    if (folded == QLatin1String("metro"))
        return kMetro;
    return std::nullopt;
}

std::optional<QString> CityFromArgument(const QString& argument) {
    for (const QString& city : CityNames()) {
        if (city.compare(argument, Qt::CaseInsensitive) == 0)
            return city;
    }
    return std::nullopt;
}

std::optional<QDate> DateFromArgument(const QString& argument) {
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (!shape.match(argument).hasMatch())
        return std::nullopt;
    const QDate day = QDate::fromString(argument, Qt::ISODate);
    if (!day.isValid())
        return std::nullopt;
    return day;
}

} // namespace lectoria::cli
