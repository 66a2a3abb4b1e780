#include "rules/addresses.h"
#include "rules/editions.h"

#include <gtest/gtest.h>

using namespace lectoria;

namespace {
const ArchiveSettings kArchives{"http://metro.test/fr/divers/pdf/", "http://vingt.test/"};

SelectionState Edition(const QString& paper, const QString& city, int d, int m, int y, const QString& folder = {}) {
    SelectionState state;
    SelectPaper(state, paper);
    SelectCity(state, city, static_cast<int>(CityNames().indexOf(city)));
    RefreshDateParts(state, d, m, y);
    state.SaveFolder = folder;
    return state;
}
} // namespace

struct UrlCase {
    const char* paper;
    const char* city;
    int d, m, y;
    const char* url;
};

class SourceUrl : public testing::TestWithParam<UrlCase> {};

TEST_P(SourceUrl, IsBuiltFromTheDatePartsAndCityCode) {
    const UrlCase& c = GetParam();
    SelectionState state = Edition(c.paper, c.city, c.d, c.m, c.y);
    BuildSourceUrl(state, kArchives);
    EXPECT_EQ(state.SourceUrl.toStdString(), c.url);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SourceUrl,
    testing::Values(
        UrlCase{"Metro", "Paris", 3, 5, 2007, "http://metro.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf"},
        UrlCase{"20 minutes", "Lyon", 3, 5, 2007, "http://vingt.test/20070503_LYO.pdf"},
        UrlCase{"Metro", "Strasbourg", 14, 11, 2007, "http://metro.test/fr/divers/pdf/2007/11/14/FRSTR_2007_11_14.pdf"},
        UrlCase{"Metro", "Nice", 1, 2, 2008, "http://metro.test/fr/divers/pdf/2008/02/01/FRNIC_2008_02_01.pdf"},
        UrlCase{"20 minutes", "Toulouse", 29, 2, 2008, "http://vingt.test/20080229_TOU.pdf"}));

TEST(SourceUrl, UnknownPaperLeavesTheAddressAlone) {
    SelectionState state = Edition("Libération", "Paris", 3, 5, 2007);
    state.SourceUrl = "before";
    BuildSourceUrl(state, kArchives);
    EXPECT_EQ(state.SourceUrl, "before");
}

TEST(TargetFile, AlwaysAddsOneSeparatorAndKeepsTheNamesAsShown) {
    const QString sep = PathSeparator();
    SelectionState metro = Edition("Metro", "Paris", 3, 5, 2007, "/home/zoë/Presse");
    BuildTargetFile(metro);
    EXPECT_EQ(metro.TargetFile, "/home/zoë/Presse" + sep + "20070503_Metro_Paris.pdf");

    SelectionState twenty = Edition("20 minutes", "Lyon", 3, 5, 2007, "D:" + sep + "Presse");
    BuildTargetFile(twenty);
    EXPECT_EQ(twenty.TargetFile, "D:" + sep + "Presse" + sep + "20070503_20 minutes_Lyon.pdf");

    // A root folder gives the separator twice, as the file name is appended unconditionally.
    SelectionState root = Edition("Metro", "Paris", 3, 5, 2007, "E:" + sep);
    BuildTargetFile(root);
    EXPECT_EQ(root.TargetFile, "E:" + sep + sep + "20070503_Metro_Paris.pdf");
}
