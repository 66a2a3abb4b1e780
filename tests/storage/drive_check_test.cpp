#include "storage_doubles.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::testing;

// The verdict for each drive type is tried through ChooseSaveFolder (folder_choice_test.cpp).
// The query would refuse (CD drive), so only a queried folder is refused.
TEST(CheckFolderDrive, OnlyACapitalLetterFromAToZIsQueried) {
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
