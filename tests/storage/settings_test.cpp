#include "storage_doubles.h"
#include "support/qt_printers.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::testing;

TEST(StoredCityIndex, ConvertsNumbersAndNumericTextsWithinSixteenBits) {
    // Halves go to the even neighbour.
    const std::pair<QVariant, int> converted[] = {{3, 3},     {0u, 0},    {-4, -4},   {32767, 32767},     {"2", 2},
                                                  {" 7 ", 7}, {"2.5", 2}, {"3.5", 4}, {"-32768", -32768}, {2.5, 2},
                                                  {-0.5, 0}};
    for (const auto& [stored, expected] : converted)
        EXPECT_EQ(StoredCityIndexFrom(stored), expected) << stored.toString().toStdString();
    const QVariant refused[] = {32768, -32769, 0xFFFFFFFFu, "32768", "abc", "", 1e9, QStringList{"1", "2"}, QVariant()};
    for (const QVariant& stored : refused)
        EXPECT_EQ(StoredCityIndexFrom(stored), std::nullopt) << stored.toString().toStdString();
    EXPECT_EQ(StoredCityIndexFrom(std::nullopt), std::nullopt);
}

// Each value is used or dropped on its own; what is used is written back once (the list and the
// box run their handlers), and a first run writes nothing. Chemin is shown without any check.
TEST(LoadSettings, EachValueIsUsedOrDroppedOnItsOwn) {
    const std::optional<QVariant> none;
    const QVariant folder("/srv/presse");
    const struct {
        std::optional<QVariant> ville, chemin;
        qint16 index;
        const char *city, *shown; // shown nullptr: the box keeps its text
    } cases[] = {{QVariant(3u), folder, 3, "Lyon", "/srv/presse"},
                 {QVariant("2"), folder, 2, "Lille", "/srv/presse"},
                 {QVariant(10), folder, 10, "Toulouse", "/srv/presse"},
                 {QVariant(0), folder, 0, "", "/srv/presse"},
                 {QVariant(-1), folder, 0, "", "/srv/presse"},
                 {QVariant(11), folder, 0, "", "/srv/presse"},
                 {QVariant(32768), folder, 0, "", "/srv/presse"},
                 {QVariant("Lyon"), folder, 0, "", "/srv/presse"},
                 {none, QVariant("E:\\Zoë\\Presse"), 0, "", "E:\\Zoë\\Presse"},
                 {QVariant(3u), QVariant(""), 3, "Lyon", nullptr},
                 {none, none, 0, "", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        SelectionState state;
        FakeStore store;
        if (c.ville)
            store.values[kCityValueName] = *c.ville;
        if (c.chemin)
            store.values[kFolderValueName] = *c.chemin;
        FakeCityList cities(state, store);
        FakeFolderBox box(state, store, "initial");
        LoadSettings(state, store, cities, box);
        EXPECT_EQ(state.CityIndex, c.index);
        EXPECT_EQ(state.CityName, c.city);
        EXPECT_EQ(box.text, c.shown ? c.shown : "initial");
        EXPECT_EQ(state.SaveFolder, c.shown ? c.shown : "");
        std::vector<std::pair<QString, QVariant>> expected;
        if (c.index > 0)
            expected.emplace_back(kCityValueName, QVariant(quint32(c.index)));
        if (c.shown)
            expected.emplace_back(kFolderValueName, QVariant(QString::fromUtf8(c.shown)));
        EXPECT_EQ(store.writes, expected);
    }
}
