#include "rules/editions.h"

#include <gtest/gtest.h>

using namespace lectoria;

// The list order is the stored index and the codes name the archives; only three pairs are refused.
TEST(Editions, CitiesInListOrderWithTheirCodesAndDistribution) {
    const QStringList names{"Bordeaux", "Lille", "Lyon",   "Marseille",  "Nantes",
                            "Nice",     "Paris", "Rennes", "Strasbourg", "Toulouse"};
    const QStringList codes{"BOR", "LIL", "LYO", "MAR", "NAN", "NIC", "PAR", "REN", "STR", "TOU"};
    EXPECT_EQ(CityNames(), names);
    for (int i = 0; i < names.size(); ++i) {
        EXPECT_EQ(CityCode(names[i]), codes[i]);
        EXPECT_EQ(IsPaperDistributed(kTwentyMinutes, names[i]), names[i] != "Nice" && names[i] != "Rennes");
        EXPECT_EQ(IsPaperDistributed(kMetro, names[i]), names[i] != "Nantes") << names[i].toStdString();
    }
    EXPECT_EQ(CityCode("Ly"), "LY");
    EXPECT_TRUE(IsPaperDistributed("metro", "Nantes")); // comparisons are exact
    EXPECT_TRUE(IsPaperDistributed(kTwentyMinutes, "nice"));
}
