#include "storage_doubles.h"
#include "support/qt_printers.h"
#include "support/test_files.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::testing;
using testing_support::Read;
using testing_support::Write;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(SettingsFile, ChoicesSurviveARestartAndTheFileHoldsOnlyTheTwoValues) {
    {
        SelectionState state;
        const auto store = MakeUserSettingsStore();
        FakeCityList cities(state, *store);
        FakeFolderBox box(state, *store, "");
        cities.SelectRow(6);
        box.SetText("/home/zoë/Presse, journaux");
    }
    SelectionState state;
    const auto store = MakeUserSettingsStore();
    FakeCityList cities(state, *store);
    FakeFolderBox box(state, *store, "initial");
    LoadSettings(state, *store, cities, box);
    EXPECT_EQ(state.CityName, "Paris");
    EXPECT_EQ(state.CityIndex, 7);
    EXPECT_EQ(box.text, "/home/zoë/Presse, journaux");

    QSettings file(dir.filePath("Orvane/Lectoria.conf"), QSettings::IniFormat);
    EXPECT_EQ(file.allKeys(), (QStringList{"Chemin", "Ville"}));
    EXPECT_EQ(file.value("Ville").toString(), "7");

    // Texts that the INI syntax gives a meaning to come back unchanged.
    for (const QString folder : {"@Variant(x)", "  devant", "C:\\Users\\Zoë", "a;b#c=d", "\"q\"", "Путь/中文", ""}) {
        ASSERT_TRUE(store->WriteText(kFolderValueName, folder));
        EXPECT_EQ(MakeUserSettingsStore()->Read(kFolderValueName).value_or(QVariant()).toString(), folder);
    }
}

TEST_F(SettingsFile, AFailedOrDamagedWriteKeepsTheOtherValue) {
    const QString file = dir.filePath("Lectoria.conf");
    enum Damage { ReadOnly, DirectoryInstead, Garbage, Unterminated };
    for (Damage damage : {ReadOnly, DirectoryInstead, Garbage, Unterminated}) {
        QFile::remove(file);
        QDir(file).removeRecursively();
        if (damage == DirectoryInstead) {
            ASSERT_TRUE(QDir().mkpath(file));
            EXPECT_FALSE(MakeFileSettingsStore(file)->WriteNumber(kCityValueName, 3));
            EXPECT_FALSE(MakeFileSettingsStore(file)->Read(kCityValueName));
            continue;
        }
        const QByteArray bytes = damage == Garbage        ? "\x01\xff garbage\nChemin=/srv/presse\n[[[\n=\n"
                                 : damage == Unterminated ? "[General]\nChemin=/srv/presse\nVille=\"4\n"
                                                          : "[General]\nChemin=/srv/presse\nVille=4\n";
        Write(file, bytes);
        if (damage == ReadOnly)
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup);
        const bool written = MakeFileSettingsStore(file)->WriteNumber(kCityValueName, 3);
        const auto reread = MakeFileSettingsStore(file);
        EXPECT_EQ(reread->Read(kFolderValueName).value_or(QVariant()).toString(), "/srv/presse") << damage;
        // The report tells the truth: a refused write leaves the file byte for byte as it was.
        if (written) {
            EXPECT_EQ(StoredCityIndexFrom(reread->Read(kCityValueName)), 3) << damage;
        } else {
            EXPECT_EQ(Read(file), bytes) << damage;
        }
        if (damage == ReadOnly && !QFileInfo(file).isWritable()) {
            EXPECT_FALSE(written);
        }
        if (damage != ReadOnly) { // a damaged file is rewritten with what could be read
            EXPECT_TRUE(written) << damage;
        }
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    }
}

TEST_F(SettingsFile, AnEmptyFileIsUsedAndAHeldLockDropsOnlyThatWrite) {
    const QString file = dir.filePath("Lectoria.conf");
    Write(file, "");
    EXPECT_FALSE(MakeFileSettingsStore(file)->Read(kFolderValueName));
    EXPECT_TRUE(MakeFileSettingsStore(file)->WriteText(kFolderValueName, "/srv/presse"));

    // Another instance stopped in the middle of its write still holds the lock.
    QLockFile other(file + ".lock");
    ASSERT_TRUE(other.tryLock());
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(MakeFileSettingsStore(file)->WriteNumber(kCityValueName, 3));
    EXPECT_LT(waited.elapsed(), 5000); // QSettings alone would wait as long as the holder lives
    EXPECT_EQ(MakeFileSettingsStore(file)->Read(kFolderValueName).value_or(QVariant()).toString(), "/srv/presse");
    other.unlock();
    EXPECT_TRUE(MakeFileSettingsStore(file)->WriteNumber(kCityValueName, 3));
    EXPECT_EQ(StoredCityIndexFrom(MakeFileSettingsStore(file)->Read(kCityValueName)), 3);
}

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
