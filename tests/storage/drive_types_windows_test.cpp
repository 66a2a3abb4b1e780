// The drive rule against the drives of a real Windows (or a Wine prefix made for it by
// drive_types_wine.sh): each letter's type as the system reports it, and the verdict on it.
#include "storage/drive_check.h"

#include <gtest/gtest.h>

using namespace lectoria;

namespace {

struct Drive {
    const char* folder;
    int type; // -1: the rule does not ask
    bool accepted;
};

void PrintTo(const Drive& drive, std::ostream* out) {
    *out << drive.folder;
}

class WindowsDrives : public ::testing::TestWithParam<Drive> {};

} // namespace

TEST_P(WindowsDrives, EachTypeGetsItsVerdict) {
    if (!qEnvironmentVariableIsSet("LECTORIA_LECTEURS_PREPARES"))
        GTEST_SKIP() << "needs the drives that drive_types_wine.sh sets up in a prefix of its own";
    const Drive& drive = GetParam();
    const auto drives = MakeSystemDriveQuery();
    SelectionState state;
    if (drive.type >= 0) {
        EXPECT_EQ(drives->TypeOf(QString::fromLatin1(drive.folder).left(3)), drive.type);
    }
    EXPECT_EQ(CheckFolderDrive(state, QString::fromLatin1(drive.folder), *drives), drive.accepted);
}

// The letters drive_types_wine.sh gives the prefix.
INSTANTIATE_TEST_SUITE_P(Letters, WindowsDrives,
                         ::testing::Values(Drive{"C:\\Presse", DriveType::Fixed, true},
                                           Drive{"D:\\", DriveType::CdRom, false},
                                           Drive{"E:\\Journaux", DriveType::Removable, true},
                                           Drive{"F:\\Partage", DriveType::Remote, true},
                                           Drive{"Q:\\Rien", DriveType::NoRootDir, false},
                                           // Not queried: accepted on their first character alone.
                                           Drive{"d:\\minuscule", -1, true}, Drive{"\\\\serveur\\partage", -1, true}));
