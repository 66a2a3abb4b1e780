#include "storage/drive_check.h"
#include "storage/drive_query_posix.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace lectoria;

TEST(PosixDriveQuery, FileSystemsMapToDriveTypes) {
    const std::pair<const char*, int> cases[] = {{"iso9660", 5}, {"udf", 5},        {"tmpfs", 6}, {"ramfs", 6},
                                                 {"nfs", 4},     {"nfs4", 4},       {"cifs", 4},  {"smb", 4},
                                                 {"smb2", 4},    {"fuse.sshfs", 4}, {"ext4", 3},  {"btrfs", 3},
                                                 {"vfat", 3},    {"", 3},           {"fuse", 3},  {"overlay", 3}};
    for (const auto& [fs, type] : cases)
        EXPECT_EQ(DriveTypeForFileSystem(fs), type) << fs;
}

TEST(PosixDriveQuery, AMissingPathHasNoRootAndAnExistingOneIsClassified) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto drives = MakeSystemDriveQuery();
    EXPECT_EQ(drives->TypeOf(dir.filePath("absent")), DriveType::NoRootDir);
    EXPECT_EQ(drives->TypeOf("Q:\\"), DriveType::NoRootDir);
    const int type = drives->TypeOf(dir.path());
    EXPECT_TRUE(type == DriveType::Fixed || type == DriveType::Remote || type == DriveType::RamDisk) << type;
}
