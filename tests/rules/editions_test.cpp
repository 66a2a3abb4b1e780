#include "rules/editions.h"

#include <gtest/gtest.h>

using namespace lectoria;

TEST(Editions, DistributionOverEveryPair) {
    // Only three pairs are refused; every other pair of the 20 is distributed.
    const QStringList refusedTwenty{"Nice", "Rennes"};
    const QStringList refusedMetro{"Nantes"};
    ASSERT_EQ(CityNames().size(), 10);
    for (const QString& city : CityNames()) {
        EXPECT_EQ(IsPaperDistributed(kTwentyMinutes, city), !refusedTwenty.contains(city)) << city.toStdString();
        EXPECT_EQ(IsPaperDistributed(kMetro, city), !refusedMetro.contains(city)) << city.toStdString();
    }
    // Comparisons are exact: another spelling is not one of the refused pairs.
    EXPECT_TRUE(IsPaperDistributed("metro", "Nantes"));
    EXPECT_TRUE(IsPaperDistributed(kTwentyMinutes, "nice"));
    EXPECT_TRUE(IsPaperDistributed(kMetro, ""));
}

TEST(Editions, CitiesInListOrderWithTheirCodes) {
    const QStringList expected{"Bordeaux", "Lille", "Lyon",   "Marseille",  "Nantes",
                               "Nice",     "Paris", "Rennes", "Strasbourg", "Toulouse"};
    const QStringList codes{"BOR", "LIL", "LYO", "MAR", "NAN", "NIC", "PAR", "REN", "STR", "TOU"};
    EXPECT_EQ(CityNames(), expected);
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(CityCode(expected[i]), codes[i]);
    EXPECT_EQ(CityCode("Ly"), "LY");
    EXPECT_EQ(CityCode(""), "");
}

TEST(Editions, SelectCityAndPaper) {
    SelectionState state;
    SelectCity(state, "Toulouse", 9);
    EXPECT_EQ(state.CityName, "Toulouse");
    EXPECT_EQ(state.CityIndex, 10);
    SelectCity(state, "Bordeaux", 0);
    EXPECT_EQ(state.CityIndex, 1);
    SelectCity(state, "", -1);
    EXPECT_EQ(state.CityName, "");
    EXPECT_EQ(state.CityIndex, 0);

    SelectPaper(state, kMetro);
    EXPECT_EQ(state.PaperName, "Metro");
    EXPECT_EQ(state.MaxAgeDays, 14);
    SelectPaper(state, kTwentyMinutes);
    EXPECT_EQ(state.PaperName, "20 minutes");
    EXPECT_EQ(state.MaxAgeDays, 7);
}

TEST(Editions, DatePartsArePaddedToTwoDigitsButNotTheYear) {
    struct Case {
        int d, m, y;
        const char *day, *month, *year;
    };
    const Case cases[] = {{5, 3, 2007, "05", "03", "2007"},
                          {12, 11, 2007, "12", "11", "2007"},
                          {1, 1, 999, "01", "01", "999"},
                          {31, 12, 10000, "31", "12", "10000"}};
    for (const Case& c : cases) {
        SelectionState state;
        RefreshDateParts(state, c.d, c.m, c.y);
        EXPECT_EQ(state.DayText, c.day);
        EXPECT_EQ(state.MonthText, c.month);
        EXPECT_EQ(state.YearText, c.year);
    }
}
