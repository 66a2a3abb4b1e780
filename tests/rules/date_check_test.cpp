#include "rules/date_check.h"
#include "rules/editions.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lectoria;

namespace {
struct FixedClock final : Clock {
    QDate today;
    QDate Today() const override { return today; }
};

struct RecordingSink final : MessageSink {
    struct Shown {
        QString text;
        int style;
        QString title;
    };
    std::vector<Shown> shown;
    int Show(const QString& text, int style, const QString& title) override {
        shown.push_back({text, style, title});
        return kAnswerOk;
    }
};

// Expected verdict of the acceptance table for a weekday: the window runs from
// today - limit up to and including tomorrow.
DateRule ExpectedForWeekday(int offset, int limit) {
    if (offset > 1)
        return DateRule::Future;
    if (offset < -limit)
        return DateRule::TooOld;
    return DateRule::Accepted;
}
} // namespace

class AcceptanceTable : public testing::TestWithParam<QDate> {};

TEST_P(AcceptanceTable, WindowRunsFromTheLimitUpToTomorrow) {
    const QDate today = GetParam();
    for (const QString& paper : PaperNames()) {
        const qint16 limit = MaxAgeDaysOf(paper);
        for (int offset = -20; offset <= 5; ++offset) {
            const QDate day = today.addDays(offset);
            const DateRule got = JudgeSelectedDay(day, today, paper, limit).rule;
            DateRule expected = ExpectedForWeekday(offset, limit);
            if (day.dayOfWeek() == 6)
                expected = DateRule::Saturday; // the weekday rules come first
            if (day.dayOfWeek() == 7)
                expected = DateRule::Sunday;
            EXPECT_EQ(got, expected) << paper.toStdString() << " today " << today.toString(Qt::ISODate).toStdString()
                                     << " offset " << offset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Todays, AcceptanceTable,
                         testing::Values(QDate(2007, 5, 3),  // Thursday
                                         QDate(2026, 12, 7), // Monday
                                         QDate(2026, 12, 5), // Saturday
                                         QDate(2026, 12, 6), // Sunday
                                         QDate(2027, 1, 1),  // Friday, year boundary
                                         QDate(2024, 3, 1),  // Friday after a leap day
                                         QDate(2024, 2, 28), // Wednesday, tomorrow is 29 Feb
                                         QDate(2025, 3, 3)), // Monday, month boundary
                         [](const testing::TestParamInfo<QDate>& info) {
                             return info.param.toString("yyyyMMdd").toStdString();
                         });

TEST(DateMessages, EveryRuleHasItsExactText) {
    const QDate thursday(2007, 5, 3);
    EXPECT_EQ(JudgeSelectedDay(QDate(2007, 5, 5), thursday, kMetro, 14).message,
              QString::fromUtf8("Pas d'édition le samedi.\r\nVeuillez sélectionner une autre date."));
    EXPECT_EQ(JudgeSelectedDay(QDate(2007, 5, 6), thursday, kMetro, 14).message,
              QString::fromUtf8("Pas d'édition le dimanche.\r\nVeuillez sélectionner une autre date."));
    EXPECT_EQ(
        JudgeSelectedDay(QDate(2007, 5, 7), thursday, kMetro, 14).message,
        QString::fromUtf8("Impossible de télécharger un journal futur.\r\nVeuillez sélectionner une autre date."));
    EXPECT_EQ(JudgeSelectedDay(QDate(2007, 4, 25), thursday, kTwentyMinutes, 7).message,
              QString::fromUtf8("Impossible de télécharger une édition de 20 minutes datant de plus de 7 jours.\r\n"
                                "Veuillez sélectionner une date plus proche."));
    EXPECT_EQ(JudgeSelectedDay(QDate(2007, 4, 18), thursday, kMetro, 14).message,
              QString::fromUtf8("Impossible de télécharger une édition de Metro datant de plus de 14 jours.\r\n"
                                "Veuillez sélectionner une date plus proche."));
    EXPECT_TRUE(JudgeSelectedDay(thursday, thursday, kMetro, 14).message.isEmpty());
    // A Saturday past the age limit is told it is a Saturday.
    EXPECT_EQ(JudgeSelectedDay(QDate(2007, 4, 14), thursday, kTwentyMinutes, 7).rule, DateRule::Saturday);
}

TEST(CheckSelectedDate, RefusalShowsOneMessageResetsToTodayAndSetsTheFlag) {
    FixedClock clock;
    clock.today = QDate(2026, 12, 5); // a Saturday: even today is refused
    PlainCalendar calendar(QDate(2026, 12, 1));
    RecordingSink sink;
    SelectionState state;
    SelectPaper(state, kTwentyMinutes);

    calendar.SetValue(QDate(2026, 11, 28)); // Saturday, refused
    CheckSelectedDate(state, calendar, clock, sink);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].style, 16);
    EXPECT_EQ(sink.shown[0].title, "Erreur");
    EXPECT_EQ(calendar.Value(), clock.today);
    EXPECT_EQ(state.DateRejected, 1);

    // Today itself is a Saturday: refused again, calendar stays on the same day.
    CheckSelectedDate(state, calendar, clock, sink);
    EXPECT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(calendar.Value(), clock.today);
    EXPECT_EQ(state.DateRejected, 1);

    calendar.SetValue(QDate(2026, 12, 4)); // Friday
    CheckSelectedDate(state, calendar, clock, sink);
    EXPECT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(calendar.Value(), QDate(2026, 12, 4));
    EXPECT_EQ(state.DateRejected, 0);
}

TEST(CheckSelectedDate, SwitchingPaperAppliesTheNewLimitAtTheNextCheck) {
    FixedClock clock;
    clock.today = QDate(2026, 12, 9);            // Wednesday
    PlainCalendar calendar(QDate(2026, 11, 30)); // Monday, 9 days back
    RecordingSink sink;
    SelectionState state;
    SelectPaper(state, kMetro);
    CheckSelectedDate(state, calendar, clock, sink);
    EXPECT_EQ(state.DateRejected, 0);
    SelectPaper(state, kTwentyMinutes);
    EXPECT_EQ(state.MaxAgeDays, 7);
    CheckSelectedDate(state, calendar, clock, sink);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_TRUE(sink.shown[0].text.contains("de 20 minutes datant de plus de 7 jours."));
    EXPECT_EQ(state.DateRejected, 1);
}
