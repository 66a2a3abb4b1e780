#include "download/folder_lock_native.h"

#include <windows.h>

namespace lectoria {

namespace {

NativeLockStatus StatusOf(DWORD error) {
    switch (error) {
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return NativeLockStatus::FolderMissing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return NativeLockStatus::Denied;
    case ERROR_WRITE_PROTECT:
        return NativeLockStatus::ReadOnly;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return NativeLockStatus::NoSpace;
    default:
        return NativeLockStatus::Failed;
    }
}

HANDLE HandleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

NativeLock OpenNativeLockFile(const wchar_t* path) {
    // Shared for reading, writing and deleting: the lock is LockFileEx's, not the sharing mode's.
    const HANDLE file =
        ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return {StatusOf(error), -1, static_cast<int>(error)};
    }
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        return {NativeLockStatus::NotAFile, -1, 0};
    }
    return {NativeLockStatus::Taken, reinterpret_cast<std::intptr_t>(file), 0};
}

NativeLockStatus TryNativeLock(std::intptr_t handle, const wchar_t*, int& error) {
    OVERLAPPED whole{};
    if (::LockFileEx(HandleOf(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                     &whole))
        return NativeLockStatus::Taken;
    const DWORD code = ::GetLastError();
    error = static_cast<int>(code);
    return code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING ? NativeLockStatus::Busy : NativeLockStatus::Failed;
}

void ReleaseNativeLock(std::intptr_t handle, const wchar_t*, bool) {
    // The file stays: Windows removes a name only once every handle on it is closed, and another
    // run may hold one. Closing the handle releases the lock.
    ::CloseHandle(HandleOf(handle));
}

} // namespace lectoria
