#include "cli_options.h"

#include "rules/editions.h"

#include <QRegularExpression>
#include <functional>

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

namespace {
NameList NamesFromArguments(const QStringList& values, const QStringList& all,
                            const std::function<std::optional<QString>(const QString&)>& recognise) {
    NameList chosen;
    QStringList wanted;
    for (const QString& value : values) {
        for (const QString& word : value.split(QLatin1Char(','))) {
            const QString trimmed = word.trimmed();
            if (trimmed.isEmpty())
                continue; // "metro," or a doubled comma
            if (trimmed.compare(QLatin1String("tous"), Qt::CaseInsensitive) == 0 ||
                trimmed.compare(QLatin1String("toutes"), Qt::CaseInsensitive) == 0) {
                wanted += all;
            } else if (const auto name = recognise(trimmed)) {
                wanted += *name;
            } else if (chosen.unknown.isEmpty()) {
                chosen.unknown = trimmed;
            }
        }
    }
    for (const QString& name : all)
        if (wanted.contains(name))
            chosen.names += name;
    return chosen;
}
} // namespace

NameList PapersFromArguments(const QStringList& values) {
    return NamesFromArguments(values, PaperNames(), PaperFromArgument);
}

NameList CitiesFromArguments(const QStringList& values) {
    return NamesFromArguments(values, CityNames(), CityFromArgument);
}

std::optional<QTime> TimeFromArgument(const QString& argument) {
    static const QRegularExpression shape(
        QRegularExpression::anchoredPattern(QStringLiteral("([01][0-9]|2[0-3]):[0-5][0-9]")));
    if (!shape.match(argument).hasMatch())
        return std::nullopt;
    return QTime::fromString(argument, QStringLiteral("HH:mm"));
}

std::optional<int> DaysFromArgument(const QString& argument) {
    static const QRegularExpression shape(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,4}")));
    if (!shape.match(argument).hasMatch() || argument.toInt() > 3650)
        return std::nullopt;
    return argument.toInt();
}

std::optional<QDate> DateFromArgument(const QString& argument) {
    static const QRegularExpression shape(QRegularExpression::anchoredPattern(QStringLiteral("\\d{4}-\\d{2}-\\d{2}")));
    if (!shape.match(argument).hasMatch())
        return std::nullopt;
    const QDate day = QDate::fromString(argument, Qt::ISODate);
    if (!day.isValid())
        return std::nullopt;
    return day;
}

} // namespace lectoria::cli
