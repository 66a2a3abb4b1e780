#pragma once

#include "rules/ports.h"
#include "rules/selection_state.h"

#include <QDate>
#include <QList>
#include <QString>

namespace lectoria {

enum class DateRule { Accepted, Saturday, Sunday, Future, TooOld };

struct DateVerdict {
    DateRule rule = DateRule::Accepted;
    QString message; // empty when accepted; lines separated by CR LF
    bool accepted() const { return rule == DateRule::Accepted; }
};

inline const QString kDateErrorTitle = QStringLiteral("Erreur");

// The verdict on a selected day, from the day, today and the newspaper alone. The first
// rule that applies refuses: Saturday, Sunday, later than tomorrow, older than the limit.
DateVerdict JudgeSelectedDay(const QDate& day, const QDate& today, const QString& paperName, qint16 maxAgeDays);

// Every day the verdict above accepts for the paper at `today`, oldest first: the weekdays
// from today - MaxAgeDays up to tomorrow.
QList<QDate> AcceptedDays(const QString& paperName, qint16 maxAgeDays, const QDate& today);

// Judges the calendar's day. On a refusal: shows the rule's message (critical, "Erreur"),
// puts the calendar back on today, DateRejected := 1. Otherwise DateRejected := 0.
void CheckSelectedDate(SelectionState& state, CalendarPort& calendar, const Clock& clock, MessageSink& messages);

} // namespace lectoria
