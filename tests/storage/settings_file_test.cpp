#include "storage_doubles.h"
#include "support/namespaces.h"
#include "support/qt_printers.h"
#include "support/test_files.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::testing;
using testing_support::Read;
using testing_support::UnshareAllowing;
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
    // The copies of a save killed half-way are gone after the next save.
    ASSERT_TRUE(QDir(dir.path()).mkpath("Orvane"));
    Write(dir.filePath("Orvane/Lectoria.conf.0badc0de.nouveau"), "[General]\nVille=1\n");
    Write(dir.filePath("Orvane/Lectoria.conf.0badc0de.nouveau.lock"), "");
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
    EXPECT_EQ(QDir(dir.filePath("Orvane")).entryList(QDir::Files | QDir::Hidden), QStringList{"Lectoria.conf"});
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

namespace {

// The system's file operations, with one step failing the way a full disk makes it fail.
struct FaultyFiles final : SettingsFileSystem {
    enum Fault { CreateCut, SyncFails, SyncFindsItEmpty, FirstRenameFails, LastRenameFails, NoFault };
    explicit FaultyFiles(Fault f) : fault(f) {}
    bool Create(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions) override {
        if (fault != CreateCut) {
            const bool created = real.Create(path, bytes, permissions);
            createdWith = QFileInfo(path).permissions();
            return created;
        }
        Write(path, bytes.left(bytes.size() / 2)); // ENOSPC half-way
        return false;
    }
    bool Sync(const QString& path) override {
        if (fault == SyncFindsItEmpty) // what QSettings leaves when its own write failed unnoticed
            return QFile(path).resize(0) && real.Sync(path);
        return fault != SyncFails && real.Sync(path);
    }
    bool Rename(const QString& from, const QString& to) override {
        ++renames;
        if ((fault == FirstRenameFails && renames == 1) || (fault == LastRenameFails && renames == 2))
            return false;
        return real.Rename(from, to);
    }
    Fault fault;
    int renames = 0;
    QFileDevice::Permissions createdWith;
    SettingsFileSystem& real = SystemSettingsFileSystem();
};

const QByteArray kStored =
    "[General]\nChemin=/srv/presse\nVille=4\n\n[Adresses]\nArchiveMetro=http://metro.exemple/pdf/\n";
const QByteArray kStoredThenThree =
    "[General]\nChemin=/srv/presse\nVille=3\n\n[Adresses]\nArchiveMetro=http://metro.exemple/pdf/\n";

} // namespace

// A save that fails at any step leaves the file byte for byte as it was, and no stray file.
TEST_F(SettingsFile, AFailedSaveKeepsThePreviousFileWhole) {
    const QString file = dir.filePath("Lectoria.conf");
    for (const auto fault : {FaultyFiles::CreateCut, FaultyFiles::SyncFails, FaultyFiles::SyncFindsItEmpty,
                             FaultyFiles::FirstRenameFails, FaultyFiles::LastRenameFails}) {
        Write(file, kStored);
        FaultyFiles files(fault);
        EXPECT_FALSE(MakeFileSettingsStore(file, files)->WriteNumber(kCityValueName, 3)) << fault;
        EXPECT_EQ(Read(file), kStored) << fault;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Lectoria.conf"}) << fault;
        EXPECT_EQ(StoredCityIndexFrom(MakeFileSettingsStore(file)->Read(kCityValueName)), 4) << fault;
    }
    // Nothing failing, the file keeps its layout and the section the program never writes.
    EXPECT_TRUE(MakeFileSettingsStore(file)->WriteNumber(kCityValueName, 3));
    EXPECT_EQ(Read(file), kStoredThenThree);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Lectoria.conf"});
}

// Dotfiles kept elsewhere through a chain of links: the file is replaced where it really is, the
// links stay, and a private file is never readable by others, not even while it is being saved.
TEST_F(SettingsFile, APrivateFileBehindLinksStaysWhereAndAsItIs) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("dotfiles"));
    const QString real = dir.filePath("dotfiles/Lectoria.conf");
    const QString middle = dir.filePath("intermediaire.conf");
    const QString file = dir.filePath("Lectoria.conf");
    Write(real, kStored);
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(real, owner));
    ASSERT_TRUE(QFile::link(real, middle) && QFile::link(middle, file));
    FaultyFiles files(FaultyFiles::NoFault);
    EXPECT_TRUE(MakeFileSettingsStore(file, files)->WriteNumber(kCityValueName, 3));
    EXPECT_EQ(Read(real), kStoredThenThree);
    EXPECT_TRUE(QFileInfo(middle).isSymLink() && QFileInfo(file).isSymLink());
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther;
    EXPECT_FALSE(files.createdWith & others);
    EXPECT_FALSE(QFileInfo(real).permissions() & others);
}

// The settings file alone on a small file system (a tmpfs in a mount namespace of its own), filled
// up to its last few pages: each save says it failed and leaves the file as it was, or writes it
// whole. No fault is injected: this is the disk as the user meets it.
TEST_F(SettingsFile, AFullDiskNeverEmptiesTheFile) {
    const QString unshare = UnshareAllowing("-rm");
    if (unshare.isEmpty())
        GTEST_SKIP() << "unshare -rm (user and mount namespaces) is not permitted here";
    const QString script = R"(mount -t tmpfs -o size=128k tmpfs "$1" || exit 77
printf '%s' "$2" > "$1/Lectoria.conf" || exit 1
dd if=/dev/zero of="$1/plein" bs=4096 2>/dev/null
taille=$(stat -c %s "$1/plein")
truncate -s $((taille - taille % 4096 - $3 * 4096)) "$1/plein" || exit 1
"$4" "$1/Lectoria.conf" Ville 3
echo $? > "$5/statut"
cat "$1/Lectoria.conf" > "$5/apres"
ls -A "$1" > "$5/liste")";
    int written = 0;
    for (const int freePages : {0, 1, 2, 3, 4, 16}) {
        QTemporaryDir mountPoint, out;
        QProcess run;
        run.start(unshare, {"-rm", "sh", "-c", script, "sh", mountPoint.path(), QString::fromUtf8(kStored),
                            QString::number(freePages), SETTINGS_WRITER_PATH, out.path()});
        ASSERT_TRUE(run.waitForFinished(30000));
        if (run.exitCode() == 77)
            GTEST_SKIP() << "mounting a tmpfs is not permitted here";
        ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
        const bool saved = Read(out.filePath("statut")) == "0\n";
        written += saved;
        EXPECT_EQ(Read(out.filePath("apres")), saved ? kStoredThenThree : kStored) << freePages;
        EXPECT_EQ(Read(out.filePath("liste")), "Lectoria.conf\nplein\n") << freePages;
        if (freePages == 0 || freePages == 16) {
            EXPECT_EQ(saved, freePages == 16);
        }
    }
    EXPECT_GE(written, 1);
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
