#include "storage_doubles.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::testing;

TEST(CheckFolderDrive, VerdictOverEveryDriveType) {
    const bool accepted[] = {false, false, true, true, true, false, true, false, false};
    for (int type = 0; type <= 8; ++type) {
        SelectionState state;
        FakeDrives drives;
        drives.type = type;
        EXPECT_EQ(CheckFolderDrive(state, "C:\\Presse\\Journaux", drives), accepted[type]) << type;
        EXPECT_EQ(state.DriveRoot, "C:\\");
        EXPECT_EQ(drives.queried, QStringList{"C:\\"});
    }
}

TEST(CheckFolderDrive, OnlyACapitalLetterFromAToZIsQueried) {
    // The query would refuse (CD drive), so only a queried folder is refused.
    const struct {
        const char* folder;
        const char* root;
        bool queried;
    } cases[] = {{"c:\\presse", "c:\\", false},
                 {"\\\\serveur\\partage", "\\\\s", false},
                 {"1abc", "1ab", false},
                 {"Édition", "Édi", false},
                 {"", "", false},
                 {"@:\\", "@:\\", false},
                 {"[:\\", "[:\\", false},
                 {"A:\\x", "A:\\", true},
                 {"Z:\\", "Z:\\", true},
                 {"D", "D", true},
                 {"D:", "D:", true}};
    for (const auto& c : cases) {
        SelectionState state;
        state.DriveRoot = "old";
        FakeDrives drives;
        drives.type = DriveType::CdRom;
        EXPECT_EQ(CheckFolderDrive(state, QString::fromUtf8(c.folder), drives), !c.queried) << c.folder;
        EXPECT_EQ(state.DriveRoot, QString::fromUtf8(c.root));
        EXPECT_EQ(drives.queried, c.queried ? QStringList{QString::fromUtf8(c.root)} : QStringList{});
    }
}
