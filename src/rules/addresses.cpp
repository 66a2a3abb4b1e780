#include "rules/addresses.h"

#include "rules/editions.h"

#include <QRegularExpression>

#include <QUrl>

namespace lectoria {

ArchiveSettings DefaultArchiveSettings() {
    return {QStringLiteral("http://pdf.metro.invalid/fr/divers/pdf/"), QStringLiteral("http://pdf.20minutes.invalid/")};
}

bool IsValidBaseUrl(const QString& url) {
    if (!url.endsWith(QLatin1Char('/')))
        return false;
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    return parsed.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !parsed.host().isEmpty() && url.startsWith(scheme + QLatin1String("://")) &&
           // The edition's file name is appended: it must land in the path, not in a query
           // ("http://h/?a=/") or a fragment.
           !parsed.hasQuery() && !parsed.hasFragment();
}

QString BaseUrlFault(const QString& url) {
    if (IsValidBaseUrl(url))
        return {};
    // The two faults that leave an address looking right to the eye are named as such.
    if (url.contains(QRegularExpression(QStringLiteral("\\s"))))
        return QStringLiteral("contient un espace, interdit dans une adresse (l'écrire %20)");
    if (url.contains(QRegularExpression(QStringLiteral("%(?![0-9A-Fa-f]{2})"))))
        return QStringLiteral("contient un « % » qui n'est pas suivi de deux chiffres hexadécimaux "
                              "(écrire %25 pour un « % »)");
    return QStringLiteral("n'est pas une adresse http:// ou https:// terminée par « / », sans « ? » ni « # »");
}

void BuildSourceUrl(SelectionState& state, const ArchiveSettings& archives) {
    const QString code = CityCode(state.CityName);
    const QString& y = state.YearText;
    const QString& m = state.MonthText;
    const QString& d = state.DayText;
    const QChar slash = QLatin1Char('/');
    const QChar underscore = QLatin1Char('_');
    if (state.PaperName == kMetro) {
        state.SourceUrl = archives.MetroBaseUrl + y + slash + m + slash + d + QLatin1String("/FR") + code + underscore +
                          y + underscore + m + underscore + d + QLatin1String(".pdf");
    } else if (state.PaperName == kTwentyMinutes) {
        state.SourceUrl = archives.TwentyMinutesBaseUrl + y + m + d + underscore + code + QLatin1String(".pdf");
    }
}

QChar PathSeparator() {
#ifdef Q_OS_WIN
    return QLatin1Char('\\');
#else
    return QLatin1Char('/');
#endif
}

QString EditionFileName(const SelectionState& state) {
    return state.YearText + state.MonthText + state.DayText + QLatin1Char('_') + state.PaperName + QLatin1Char('_') +
           state.CityName + QLatin1String(".pdf");
}

std::optional<EditionName> ParseEditionFileName(const QString& fileName) {
    const QDate day = QDate::fromString(fileName.left(8), QStringLiteral("yyyyMMdd"));
    if (!day.isValid())
        return std::nullopt;
    for (const QString& paper : PaperNames()) {
        for (const QString& city : CityNames()) {
            SelectionState edition;
            edition.PaperName = paper;
            edition.CityName = city;
            RefreshDateParts(edition, day.day(), day.month(), day.year());
            // Built back by the one writer of these names, so only its exact output matches.
            if (EditionFileName(edition) == fileName)
                return EditionName{paper, city, day};
        }
    }
    return std::nullopt;
}

void BuildTargetFile(SelectionState& state) {
    state.TargetFile = state.SaveFolder + PathSeparator() + EditionFileName(state);
}

} // namespace lectoria
