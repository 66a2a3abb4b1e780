#include "storage_doubles.h"
#include "support/qt_printers.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::testing;

TEST(StoredCityIndex, ConvertsNumbersAndNumericTextsWithinSixteenBits) {
    const std::optional<qint16> none;
    const std::pair<std::optional<QVariant>, std::optional<qint16>> cases[] = {{QVariant(3), 3},
                                                                               {QVariant(0u), 0},
                                                                               {QVariant(-4), -4},
                                                                               {QVariant(32767), 32767},
                                                                               {QVariant(32768), none},
                                                                               {QVariant(-32769), none},
                                                                               {QVariant(0xFFFFFFFFu), none},
                                                                               {QVariant("2"), 2},
                                                                               {QVariant(" 7 "), 7},
                                                                               {QVariant("-32768"), -32768},
                                                                               {QVariant("32768"), none},
                                                                               {QVariant("abc"), none},
                                                                               {QVariant(""), none},
                                                                               {QVariant("2.5"), 2},
                                                                               {QVariant("3.5"), 4},
                                                                               {QVariant(QStringList{"1", "2"}), none},
                                                                               {QVariant(), none},
                                                                               {std::nullopt, none}};
    for (const auto& [stored, expected] : cases)
        EXPECT_EQ(StoredCityIndexFrom(stored), expected) << (stored ? stored->toString().toStdString() : "missing");
}

TEST(LoadSettings, VilleSelectsTheCityAndIsWrittenBackOrIsDroppedSilently) {
    struct Case {
        std::optional<QVariant> ville;
        qint16 index;
        const char* city;
    };
    const Case cases[] = {{QVariant(3u), 3, "Lyon"}, {QVariant("2"), 2, "Lille"}, {QVariant(10), 10, "Toulouse"},
                          {QVariant(0), 0, ""},      {QVariant(-1), 0, ""},       {QVariant(11), 0, ""},
                          {QVariant(32768), 0, ""},  {QVariant("Lyon"), 0, ""},   {std::nullopt, 0, ""}};
    for (const Case& c : cases) {
        SelectionState state;
        FakeStore store;
        if (c.ville)
            store.values[kCityValueName] = *c.ville;
        store.values[kFolderValueName] = QString("/srv/presse");
        FakeCityList cities(state, store);
        FakeFolderBox box(state, store, "initial");
        LoadSettings(state, store, cities, box);
        EXPECT_EQ(state.CityIndex, c.index);
        EXPECT_EQ(state.CityName, c.city);
        EXPECT_EQ(state.SaveFolder, "/srv/presse"); // a bad Ville never drops Chemin
        std::vector<std::pair<QString, QVariant>> expected;
        if (c.index > 0)
            expected.emplace_back(kCityValueName, QVariant(quint32(c.index)));
        expected.emplace_back(kFolderValueName, QVariant("/srv/presse"));
        EXPECT_EQ(store.writes, expected);
    }
}

TEST(LoadSettings, CheminIsShownWhenNotEmptyWithoutAnyCheck) {
    const std::pair<std::optional<QVariant>, const char*> cases[] = {{QVariant("/n/existe/plus"), "/n/existe/plus"},
                                                                     {QVariant("E:\\Zoë\\Presse"), "E:\\Zoë\\Presse"},
                                                                     {QVariant(""), nullptr},
                                                                     {std::nullopt, nullptr}};
    for (const auto& [chemin, shown] : cases) {
        SelectionState state;
        FakeStore store;
        if (chemin)
            store.values[kFolderValueName] = *chemin;
        FakeCityList cities(state, store);
        FakeFolderBox box(state, store, "initial");
        LoadSettings(state, store, cities, box);
        EXPECT_EQ(box.text, shown ? shown : "initial");
        EXPECT_EQ(state.SaveFolder, shown ? shown : "");
        EXPECT_EQ(store.writes.size(), shown ? 1u : 0u); // first run: nothing written
        EXPECT_EQ(state.CityIndex, 0);
    }
}
