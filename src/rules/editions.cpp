#include "rules/editions.h"

namespace lectoria {

QStringList PaperNames() {
    return {kTwentyMinutes, kMetro};
}

qint16 MaxAgeDaysOf(const QString& paperName) {
    if (paperName == kTwentyMinutes)
        return kTwentyMinutesMaxAgeDays;
    if (paperName == kMetro)
        return kMetroMaxAgeDays;
    return 0;
}

const QStringList& CityNames() {
    static const QStringList cities{
        QStringLiteral("Bordeaux"),   QStringLiteral("Lille"),    QStringLiteral("Lyon"),  QStringLiteral("Marseille"),
        QStringLiteral("Nantes"),     QStringLiteral("Nice"),     QStringLiteral("Paris"), QStringLiteral("Rennes"),
        QStringLiteral("Strasbourg"), QStringLiteral("Toulouse"),
    };
    return cities;
}

void SelectPaper(SelectionState& state, const QString& caption) {
    state.PaperName = caption;
    state.MaxAgeDays = MaxAgeDaysOf(caption);
}

void SelectCity(SelectionState& state, const QString& text, int position) {
    state.CityName = position < 0 ? QString() : text;
    state.CityIndex = static_cast<qint16>(position < 0 ? 0 : position + 1);
}

bool IsPaperDistributed(const QString& paperName, const QString& cityName) {
    if (paperName == kTwentyMinutes)
        return cityName != QLatin1String("Rennes") && cityName != QLatin1String("Nice");
    if (paperName == kMetro)
        return cityName != QLatin1String("Nantes");
    return true;
}

namespace {
QString TwoDigits(int value) {
    QString text = QString::number(value);
    if (text.size() == 1)
        text.prepend(QLatin1Char('0'));
    return text;
}
} // namespace

void RefreshDateParts(SelectionState& state, int day, int month, int year) {
    state.DayText = TwoDigits(day);
    state.MonthText = TwoDigits(month);
    state.YearText = QString::number(year);
}

QString CityCode(const QString& cityName) {
    return cityName.left(3).toUpper();
}

} // namespace lectoria
