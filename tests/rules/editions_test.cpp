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
