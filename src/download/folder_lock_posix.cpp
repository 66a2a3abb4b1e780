#include "download/folder_lock_native.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lectoria {

namespace {

NativeLockStatus StatusOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return NativeLockStatus::FolderMissing;
    case EACCES:
    case EPERM:
        return NativeLockStatus::Denied;
    case EROFS:
        return NativeLockStatus::ReadOnly;
    case ENOSPC:
    case EDQUOT:
        return NativeLockStatus::NoSpace;
    case ELOOP: // O_NOFOLLOW met a symbolic link
    case EISDIR:
    case ENXIO:
        return NativeLockStatus::NotAFile;
    default:
        return NativeLockStatus::Failed;
    }
}

} // namespace

NativeLock OpenNativeLockFile(const char* path) {
    // O_NOFOLLOW: a link planted under the lock's name never makes us create or open a file
    // elsewhere. The lock lives in the kernel, so what the file holds does not matter.
    const auto openLockFile = [path](int access) {
        int opened = -1;
        do
            opened = ::open(path, access | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
        while (opened < 0 && errno == EINTR);
        return opened;
    };
    int descriptor = openLockFile(O_RDWR);
    // In a folder shared by several users, a lock file another user's killed run left behind is
    // not writable here (nor removable, in a sticky folder): flock needs only a read descriptor.
    if (descriptor < 0 && errno == EACCES)
        descriptor = openLockFile(O_RDONLY);
    if (descriptor < 0)
        return {StatusOf(errno), -1, errno};
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) { // a fifo, a device...
        ::close(descriptor);
        return {NativeLockStatus::NotAFile, -1, 0};
    }
    return {NativeLockStatus::Taken, descriptor, 0};
}

NativeLockStatus TryNativeLock(std::intptr_t handle, const char* path, int& error) {
    const int descriptor = static_cast<int>(handle);
    int answer = -1;
    do
        answer = ::flock(descriptor, LOCK_EX | LOCK_NB);
    while (answer != 0 && errno == EINTR);
    error = answer != 0 ? errno : 0;
    if (answer != 0 && (error == ENOLCK || error == EOPNOTSUPP || error == EINVAL))
        return NativeLockStatus::Unsupported;
    if (answer != 0)
        return error == EWOULDBLOCK ? NativeLockStatus::Busy : NativeLockStatus::Failed;
    struct stat held {};
    struct stat named {};
    if (::fstat(descriptor, &held) != 0) {
        error = errno;
        return NativeLockStatus::Failed;
    }
    if (::lstat(path, &named) != 0 || held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
        ::flock(descriptor, LOCK_UN);
        return NativeLockStatus::Gone;
    }
    return NativeLockStatus::Taken;
}

void ReleaseNativeLock(std::intptr_t handle, const char* path, bool remove) {
    // Removed while still locked: whoever opened this file meanwhile sees it is gone once it has
    // the lock, and opens the name again.
    if (remove)
        ::unlink(path);
    ::close(static_cast<int>(handle)); // releases the lock
}

} // namespace lectoria
