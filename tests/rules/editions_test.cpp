#include "rules/editions.h"

#include <gtest/gtest.h>

using namespace lectoria;

TEST(Editions, CitiesInListOrderWithTheirCodesAndDistribution) {
    // Only three pairs of the 20 are refused: 20 minutes in Nice and Rennes, Metro in Nantes.
    const struct {
        const char *name, *code;
        bool twenty, metro;
    } cities[] = {{"Bordeaux", "BOR", true, true},  {"Lille", "LIL", true, true},   {"Lyon", "LYO", true, true},
                  {"Marseille", "MAR", true, true}, {"Nantes", "NAN", true, false}, {"Nice", "NIC", false, true},
                  {"Paris", "PAR", true, true},     {"Rennes", "REN", false, true}, {"Strasbourg", "STR", true, true},
                  {"Toulouse", "TOU", true, true}};
    QStringList names;
    for (const auto& c : cities) {
        names << c.name;
        EXPECT_EQ(CityCode(c.name), c.code);
        EXPECT_EQ(IsPaperDistributed(kTwentyMinutes, c.name), c.twenty) << c.name;
        EXPECT_EQ(IsPaperDistributed(kMetro, c.name), c.metro) << c.name;
    }
    EXPECT_EQ(CityNames(), names);
    EXPECT_EQ(CityCode("Ly"), "LY");
    // Comparisons are exact: another spelling is not one of the refused pairs.
    EXPECT_TRUE(IsPaperDistributed("metro", "Nantes"));
    EXPECT_TRUE(IsPaperDistributed(kTwentyMinutes, "nice"));
}

TEST(Editions, SelectCityAndPaper) {
    SelectionState state;
    SelectCity(state, "Toulouse", 9);
    EXPECT_EQ(state.CityName, "Toulouse");
    EXPECT_EQ(state.CityIndex, 10); // the stored index counts from 1
    SelectCity(state, "Lyon", -1);  // no row: no city
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
    const struct {
        int d, m, y;
        const char* parts;
    } cases[] = {{5, 3, 2007, "05 03 2007"},
                 {12, 11, 2007, "12 11 2007"},
                 {1, 1, 999, "01 01 999"},
                 {31, 12, 10000, "31 12 10000"}};
    for (const auto& c : cases) {
        SelectionState state;
        RefreshDateParts(state, c.d, c.m, c.y);
        EXPECT_EQ(state.DayText + " " + state.MonthText + " " + state.YearText, c.parts);
    }
}
