#include "rules/date_check.h"

namespace lectoria {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kPickAnother = QStringLiteral("Veuillez sélectionner une autre date.");
} // namespace

DateVerdict JudgeSelectedDay(const QDate& day, const QDate& today, const QString& paperName, qint16 maxAgeDays) {
    if (!day.isValid())
        return {DateRule::Future, QStringLiteral("Impossible de télécharger un journal futur.") + kCrLf + kPickAnother};
    const int weekday = day.dayOfWeek(); // Monday = 1 ... Sunday = 7
    if (weekday == 6)
        return {DateRule::Saturday, QStringLiteral("Pas d'édition le samedi.") + kCrLf + kPickAnother};
    if (weekday == 7)
        return {DateRule::Sunday, QStringLiteral("Pas d'édition le dimanche.") + kCrLf + kPickAnother};
    if (day > today.addDays(1))
        return {DateRule::Future, QStringLiteral("Impossible de télécharger un journal futur.") + kCrLf + kPickAnother};
    if (day < today.addDays(-maxAgeDays))
        return {DateRule::TooOld, QStringLiteral("Impossible de télécharger une édition de ") + paperName +
                                      QStringLiteral(" datant de plus de ") + QString::number(maxAgeDays) +
                                      QStringLiteral(" jours.") + kCrLf +
                                      QStringLiteral("Veuillez sélectionner une date plus proche.")};
    return {};
}

QList<QDate> AcceptedDays(const QString& paperName, qint16 maxAgeDays, const QDate& today) {
    QList<QDate> days;
    // The verdict itself decides; the range only bounds the search to what it can accept.
    for (QDate day = today.addDays(-maxAgeDays); day <= today.addDays(1); day = day.addDays(1)) {
        if (JudgeSelectedDay(day, today, paperName, maxAgeDays).accepted())
            days.append(day);
    }
    return days;
}

void CheckSelectedDate(SelectionState& state, CalendarPort& calendar, const Clock& clock, MessageSink& messages) {
    const DateVerdict verdict = JudgeSelectedDay(calendar.Value(), clock.Today(), state.PaperName, state.MaxAgeDays);
    if (verdict.accepted()) {
        state.DateRejected = 0;
        return;
    }
    messages.Show(verdict.message, MessageStyle::Critical, kDateErrorTitle);
    calendar.SetValue(clock.Today()); // today is read again: the user may have left the box open past midnight
    state.DateRejected = 1;
}

} // namespace lectoria
