#include "rules/addresses.h"
#include "rules/editions.h"

#include <gtest/gtest.h>

#include <map>

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

TEST(ArchiveSettings, EnvironmentOverridesOnlyWithAValidBaseAddress) {
    std::map<std::string, QString> env;
    QStringList complaints;
    const auto load = [&] {
        complaints.clear();
        return LoadArchiveSettings([&](const char* n) { return env.count(n) ? env[n] : QString(); },
                                   [&](const QString& line) { complaints << line; });
    };
    const ArchiveSettings defaults = DefaultArchiveSettings();
    EXPECT_TRUE(defaults.MetroBaseUrl.endsWith("/fr/divers/pdf/"));
    EXPECT_TRUE(defaults.MetroBaseUrl.contains(".invalid/"));
    EXPECT_TRUE(defaults.TwentyMinutesBaseUrl.contains(".invalid/"));

    env[kMetroUrlVariable] = "https://127.0.0.1:8080/fr/divers/pdf/";
    env[kTwentyMinutesUrlVariable] = "http://localhost:9/";
    ArchiveSettings loaded = load();
    EXPECT_EQ(loaded.MetroBaseUrl, "https://127.0.0.1:8080/fr/divers/pdf/");
    EXPECT_EQ(loaded.TwentyMinutesBaseUrl, "http://localhost:9/");
    EXPECT_TRUE(complaints.isEmpty());

    for (const QString bad : {"http://host/no-slash", "ftp://host/", "file:///tmp/", "http:///", "host/", "http:/x/",
                              "http://[::]?/", "http://host/?q=/", "http://host/#/"}) {
        env[kTwentyMinutesUrlVariable] = bad;
        loaded = load();
        EXPECT_EQ(loaded.TwentyMinutesBaseUrl, defaults.TwentyMinutesBaseUrl) << bad.toStdString();
        ASSERT_EQ(complaints.size(), 1) << bad.toStdString();
        EXPECT_TRUE(complaints[0].contains(kTwentyMinutesUrlVariable));
    }

    // Each complaint says what is wrong with the value.
    env.erase(kTwentyMinutesUrlVariable);
    const struct {
        const char* value;
        const char* fault;
    } told[] = {
        {"http://host/no-slash", "n'est pas une adresse http:// ou https:// terminée par « / », sans « ? » ni « # »"},
        {"http://host/mes archives/", "contient un espace, interdit dans une adresse (l'écrire %20)"},
        {"http://host/100%/", "contient un « % » qui n'est pas suivi de deux chiffres hexadécimaux (écrire %25 "
                              "pour un « % »)"}};
    for (const auto& t : told) {
        env[kMetroUrlVariable] = t.value;
        load();
        ASSERT_EQ(complaints.size(), 1) << t.value;
        EXPECT_EQ(complaints[0], QString("LECTORIA_METRO_URL ignorée : « %1 » %2. L'adresse par défaut est conservée.")
                                     .arg(t.value, t.fault));
    }
}
