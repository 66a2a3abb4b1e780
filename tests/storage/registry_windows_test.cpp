// The settings in the real registry of the Windows (or Wine) they run on, under the keys earlier
// versions used, and with the value types they wrote and read.
#include "storage/configured_values.h"
#include "storage/settings_store.h"
#include "storage_doubles.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <windows.h>

#include <string>

using namespace lectoria;
using namespace lectoria::testing;

namespace {

const QString kUserKey = QStringLiteral("HKCU\\Software\\Orvane\\Lectoria");
const QString kMachineKey = QStringLiteral("HKLM\\Software\\Orvane\\Lectoria");

// Windows' own reg.exe, as an installer or an administrator would write a value.
bool Reg(const QStringList& arguments) {
    QProcess reg;
    reg.start(QStringLiteral("reg"), arguments);
    return reg.waitForFinished(60000) && reg.exitStatus() == QProcess::NormalExit && reg.exitCode() == 0;
}

void DeleteKey(const QString& key) {
    Reg({QStringLiteral("delete"), key, QStringLiteral("/f")}); // a key that is not there is fine
}

struct Stored {
    DWORD type = REG_NONE;
    std::wstring text;
    DWORD number = 0;
};

// A value of HKCU\Software\Orvane\Lectoria as the registry holds it: its type and its data.
Stored ValueInRegistry(const wchar_t* name) {
    Stored stored;
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvane\\Lectoria", name, RRF_RT_ANY | RRF_NOEXPAND, &stored.type,
                       buffer, &size) != ERROR_SUCCESS)
        return {};
    if (stored.type == REG_DWORD)
        memcpy(&stored.number, buffer, sizeof(DWORD));
    else if (stored.type == REG_SZ)
        stored.text = buffer;
    return stored;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteKey(kUserKey);
        DeleteKey(kMachineKey);
    }
    void TearDown() override { SetUp(); }
};

} // namespace

// Earlier versions wrote the city as a REG_DWORD; a hand-made or imported value may be a string
// holding the number. Both are applied, and the city clicked is always written back as a DWORD.
TEST_F(Registry, TheCityIsReadAsADwordOrATextAndWrittenAsADword) {
    const auto store = MakeUserSettingsStore();
    struct Case {
        QString type;
        QString data;
        int row;
    };
    for (const Case& c :
         {Case{"REG_DWORD", "3", 2}, Case{"REG_SZ", "2", 1}, Case{"REG_DWORD", "11", -1}, Case{"REG_SZ", "Lyon", -1}}) {
        SCOPED_TRACE((c.type + ' ' + c.data).toStdString());
        ASSERT_TRUE(Reg({"add", kUserKey, "/v", "Ville", "/t", c.type, "/d", c.data, "/f"}));
        SelectionState state;
        FakeCityList cities(state, *store);
        FakeFolderBox box(state, *store, "initial");
        LoadSettings(state, *store, cities, box);
        EXPECT_EQ(cities.row, c.row);
        if (c.row < 0)
            continue;
        const Stored ville = ValueInRegistry(L"Ville");
        EXPECT_EQ(ville.type, DWORD(REG_DWORD));
        EXPECT_EQ(ville.number, DWORD(c.row + 1));
    }
}

// A folder named in any script goes in and comes back whole, as a REG_SZ; a city stays a DWORD
// (never a QWORD nor a text, which an older version could not read as a number).
TEST_F(Registry, ValuesKeepTheTypesEarlierVersionsRead) {
    const auto store = MakeUserSettingsStore();
    const QString folder = QStringLiteral("C:\\Пресса\\Éditions du matin");
    ASSERT_TRUE(store->WriteText(kFolderValueName, folder));
    ASSERT_TRUE(store->WriteNumber(kCityValueName, 7));
    const Stored chemin = ValueInRegistry(L"Chemin");
    EXPECT_EQ(chemin.type, DWORD(REG_SZ));
    EXPECT_EQ(QString::fromStdWString(chemin.text), folder);
    const Stored ville = ValueInRegistry(L"Ville");
    EXPECT_EQ(ville.type, DWORD(REG_DWORD));
    EXPECT_EQ(ville.number, DWORD(7));
    EXPECT_EQ(MakeUserSettingsStore()->Read(kFolderValueName).value_or(QVariant()).toString(), folder);

    // Chemin written beforehand by reg.exe, as an earlier version left it.
    ASSERT_TRUE(Reg({"add", kUserKey, "/v", "Chemin", "/t", "REG_SZ", "/d", "D:\\Journaux", "/f"}));
    SelectionState state;
    FakeCityList cities(state, *store);
    FakeFolderBox box(state, *store, "initial");
    LoadSettings(state, *store, cities, box);
    EXPECT_EQ(box.text, "D:\\Journaux");
    EXPECT_EQ(cities.row, 6);
}

// The archives' addresses set once for every user under HKLM, or by a user for themself under
// HKCU, which wins.
TEST_F(Registry, ArchiveAddressesComeFromTheUserKeyThenTheMachineKey) {
    const QString machine = QStringLiteral("http://archive.exemple/metro/");
    const QString user = QStringLiteral("http://127.0.0.1:8080/metro/");
    ASSERT_TRUE(Reg({"add", kMachineKey + "\\Adresses", "/v", "ArchiveMetro", "/d", machine, "/f"}));
    QStringList complaints;
    const auto complain = [&](const QString& line) { complaints << line; };
    EXPECT_EQ(LoadArchiveSettings(StandardConfigurationSources(), complain).MetroBaseUrl, machine);
    ASSERT_TRUE(Reg({"add", kUserKey + "\\Adresses", "/v", "ArchiveMetro", "/d", user, "/f"}));
    EXPECT_EQ(LoadArchiveSettings(StandardConfigurationSources(), complain).MetroBaseUrl, user);
    EXPECT_TRUE(complaints.isEmpty()) << complaints.join('\n').toStdString();
}
