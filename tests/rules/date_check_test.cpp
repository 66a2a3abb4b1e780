#include "rules/date_check.h"
#include "rules/editions.h"

#include "support/doubles.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::testing_support;

// Weekend rules first, then the window from today - limit up to and including tomorrow.
TEST(AcceptanceTable, WindowRunsFromTheLimitUpToTomorrow) {
    // Thursday; Monday; Saturday; Sunday; year boundary; after a leap day; before one; month boundary.
    for (const QDate today : {QDate(2007, 5, 3), QDate(2026, 12, 7), QDate(2026, 12, 5), QDate(2026, 12, 6),
                              QDate(2027, 1, 1), QDate(2024, 3, 1), QDate(2024, 2, 28), QDate(2025, 3, 3)}) {
        for (const QString& paper : PaperNames()) {
            SCOPED_TRACE(paper.toStdString() + " today " + today.toString(Qt::ISODate).toStdString());
            const qint16 limit = MaxAgeDaysOf(paper);
            QList<QDate> accepted;
            for (int offset = -20; offset <= 5; ++offset) {
                const QDate day = today.addDays(offset);
                DateRule expected = offset > 1        ? DateRule::Future
                                    : offset < -limit ? DateRule::TooOld
                                                      : DateRule::Accepted;
                if (day.dayOfWeek() >= 6)
                    expected = day.dayOfWeek() == 6 ? DateRule::Saturday : DateRule::Sunday;
                EXPECT_EQ(JudgeSelectedDay(day, today, paper, limit).rule, expected) << "offset " << offset;
                if (expected == DateRule::Accepted)
                    accepted << day;
            }
            EXPECT_EQ(AcceptedDays(paper, limit, today), accepted);
        }
    }
}

// One state through every step: a refusal shows its text once, puts the calendar back on today and
// raises the flag; an accepted day lowers it; the paper selected last gives the limit.
TEST(CheckSelectedDate, EachRefusalShowsItsTextAndPutsTheCalendarBackOnToday) {
    const QString saturday = QString::fromUtf8("Pas d'édition le samedi.\r\nVeuillez sélectionner une autre date.");
    const struct {
        QString paper;
        QDate today, day;
        QString message; // empty: accepted
    } steps[] = {
        {kTwentyMinutes, QDate(2026, 12, 5), QDate(2026, 11, 28), saturday},
        {kTwentyMinutes, QDate(2026, 12, 5), QDate(2026, 12, 5), saturday}, // today itself is a Saturday
        {kTwentyMinutes, QDate(2026, 12, 5), QDate(2026, 12, 4), ""},
        {kMetro, QDate(2026, 12, 9), QDate(2026, 11, 30), ""}, // 9 days back
        {kTwentyMinutes, QDate(2026, 12, 9), QDate(2026, 11, 30),
         QString::fromUtf8("Impossible de télécharger une édition de 20 minutes datant de plus de 7 jours.\r\n"
                           "Veuillez sélectionner une date plus proche.")},
        {kMetro, QDate(2026, 12, 9), QDate(2026, 11, 24),
         QString::fromUtf8("Impossible de télécharger une édition de Metro datant de plus de 14 jours.\r\n"
                           "Veuillez sélectionner une date plus proche.")},
        {kMetro, QDate(2026, 12, 9), QDate(2026, 12, 13),
         QString::fromUtf8("Pas d'édition le dimanche.\r\nVeuillez sélectionner une autre date.")},
        {kMetro, QDate(2026, 12, 9), QDate(2026, 12, 11),
         QString::fromUtf8("Impossible de télécharger un journal futur.\r\nVeuillez sélectionner une autre date.")},
    };
    FixedClock clock;
    PlainCalendar calendar(QDate(2026, 12, 1));
    SelectionState state;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.day.toString(Qt::ISODate).toStdString());
        RecordingMessages sink;
        clock.today = step.today;
        calendar.SetValue(step.day);
        SelectPaper(state, step.paper);
        CheckSelectedDate(state, calendar, clock, sink);
        const bool refused = !step.message.isEmpty();
        EXPECT_EQ(sink.shown, refused ? QStringList{step.message + "|16|Erreur"} : QStringList{});
        EXPECT_EQ(calendar.Value(), refused ? step.today : step.day);
        EXPECT_EQ(state.DateRejected, refused ? 1 : 0);
    }
}
