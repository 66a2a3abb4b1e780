#include "rules/addresses.h"
#include "rules/editions.h"

#include <gtest/gtest.h>

using namespace lectoria;

namespace {
SelectionState Edition(const QString& paper, const QString& city, int d, int m, int y, const QString& folder = {}) {
    SelectionState state;
    SelectPaper(state, paper);
    SelectCity(state, city, static_cast<int>(CityNames().indexOf(city)));
    RefreshDateParts(state, d, m, y);
    state.SaveFolder = folder;
    return state;
}
} // namespace

// An unknown paper leaves the address as it was.
TEST(SourceUrl, IsBuiltFromTheDatePartsAndCityCode) {
    const ArchiveSettings archives{"http://metro.test/fr/divers/pdf/", "http://vingt.test/"};
    const struct {
        const char *paper, *city;
        int d, m, y;
        const char* url;
    } cases[] = {
        {"Metro", "Paris", 3, 5, 2007, "http://metro.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf"},
        {"20 minutes", "Lyon", 3, 5, 2007, "http://vingt.test/20070503_LYO.pdf"},
        {"Metro", "Strasbourg", 14, 11, 2007, "http://metro.test/fr/divers/pdf/2007/11/14/FRSTR_2007_11_14.pdf"},
        {"Metro", "Nice", 1, 2, 2008, "http://metro.test/fr/divers/pdf/2008/02/01/FRNIC_2008_02_01.pdf"},
        {"20 minutes", "Toulouse", 29, 2, 2008, "http://vingt.test/20080229_TOU.pdf"},
        {"Libération", "Paris", 3, 5, 2007, "before"}};
    for (const auto& c : cases) {
        SelectionState state = Edition(QString::fromUtf8(c.paper), c.city, c.d, c.m, c.y);
        state.SourceUrl = "before";
        BuildSourceUrl(state, archives);
        EXPECT_EQ(state.SourceUrl.toStdString(), c.url);
    }
}

// One separator is always added, so a root folder gives it twice; names stay as shown.
TEST(TargetFile, AlwaysAddsOneSeparatorAndKeepsTheNamesAsShown) {
    const QString sep = PathSeparator();
    const struct {
        QString paper, city, folder, target;
    } cases[] = {
        {"Metro", "Paris", "/home/zoë/Presse", "/home/zoë/Presse" + sep + "20070503_Metro_Paris.pdf"},
        {"20 minutes", "Lyon", "D:" + sep + "Presse", "D:" + sep + "Presse" + sep + "20070503_20 minutes_Lyon.pdf"},
        {"Metro", "Paris", "E:" + sep, "E:" + sep + sep + "20070503_Metro_Paris.pdf"}};
    for (const auto& c : cases) {
        SelectionState state = Edition(c.paper, c.city, 3, 5, 2007, c.folder);
        BuildTargetFile(state);
        EXPECT_EQ(state.TargetFile, c.target);
    }
}
