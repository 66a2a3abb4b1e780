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
