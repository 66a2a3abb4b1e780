// Each option's value: names in any case, times, day counts and dates in one strict form only.
#include "cli_options.h"
#include "rules/editions.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::cli;

TEST(CliOptions, NamesInAnyCaseAndStrictFormats) {
    for (const char* given : {"20 minutes", "20minutes", "20 MINUTES", "metro", "METRO"})
        EXPECT_EQ(PaperFromArgument(given), QString(given[0] == '2' ? "20 minutes" : "Metro")) << given;
    for (const char* bad : {"", "métro", "20", "minutes", "metro2"})
        EXPECT_FALSE(PaperFromArgument(bad)) << bad;
    EXPECT_EQ(CityFromArgument("paris"), QString("Paris"));
    EXPECT_EQ(CityFromArgument("STRASBOURG"), QString("Strasbourg"));
    for (const char* bad : {"Par", "", "Paris "})
        EXPECT_FALSE(CityFromArgument(bad)) << bad;
    EXPECT_EQ(PapersFromArguments({"metro", "METRO,", "20minutes"}).names, QStringList({"20 minutes", "Metro"}));
    EXPECT_EQ(PapersFromArguments({"Metro, libé"}).unknown, "libé");
    EXPECT_EQ(CitiesFromArguments({"paris", "toutes"}).names, CityNames());
    EXPECT_EQ(DateFromArgument("2008-02-29"), QDate(2008, 2, 29));
    for (const char* bad :
         {"2007-02-29", "2007-13-01", "2007-5-3", "03/05/2007", "2007-05-03x", "2007-05-03\n", "", "２００７-05-03"})
        EXPECT_FALSE(DateFromArgument(bad)) << bad;
    EXPECT_EQ(TimeFromArgument("23:59"), QTime(23, 59));
    for (const char* bad : {"6:30", "24:00", "06:60", "06:30\n", ""})
        EXPECT_FALSE(TimeFromArgument(bad)) << bad;
    EXPECT_EQ(DaysFromArgument("0"), 0);
    for (const char* bad : {"-1", "3651", "7j", "2\n"})
        EXPECT_FALSE(DaysFromArgument(bad)) << bad;
}
