#include "storage/drive_query_posix.h"

#include "storage/drive_check.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace lectoria {

int DriveTypeForFileSystem(const QByteArray& fileSystemType) {
    const QByteArray type = fileSystemType.toLower();
    if (type == "iso9660" || type == "udf")
        return DriveType::CdRom;
    if (type == "tmpfs" || type == "ramfs")
        return DriveType::RamDisk;
    // NFS version 4 mounts report "nfs4"; Samba mounts "cifs", "smb3" or the older "smbfs".
    if (type == "nfs" || type == "nfs4" || type == "cifs" || type == "smb" || type == "smb2" || type == "smb3" ||
        type == "smbfs" || type == "fuse.sshfs")
        return DriveType::Remote;
    return DriveType::Fixed;
}

namespace {

// Without drive letters, the root handed over (the first three characters of a folder, as on
// Windows) is taken as a path and classified by the file system that holds it.
class PosixDriveQuery final : public DriveQuery {
public:
    int TypeOf(const QString& root) override {
        if (root.isEmpty() || !QFileInfo::exists(root))
            return DriveType::NoRootDir;
        const QStorageInfo storage(root);
        if (!storage.isValid())
            return DriveType::Unknown;
        return DriveTypeForFileSystem(storage.fileSystemType());
    }
};

} // namespace

std::unique_ptr<DriveQuery> MakeSystemDriveQuery() {
    return std::make_unique<PosixDriveQuery>();
}

} // namespace lectoria
