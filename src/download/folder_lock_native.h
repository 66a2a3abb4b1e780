#pragma once

// The kernel's lock on one file. The kernel releases it when its holder closes the file or dies, whatever
// the file holds: a run killed at any moment never leaves the folder locked.
#include <cstdint>

namespace lectoria {

enum class NativeLockStatus {
    Taken,         // held until ReleaseNativeLock
    Busy,          // another open file description holds it
    FolderMissing, // no such folder: its own check says so
    Denied,        // permission refused
    ReadOnly,      // read-only file system
    NoSpace,       // no room left for the file
    NotAFile,      // a link, a folder, ... has the lock's name
    Gone,          // see TryNativeLock
    Unsupported,   // the file system has no locks
    Failed,        // any other error, in `error`
};

struct NativeLock {
    NativeLockStatus status = NativeLockStatus::Failed;
    std::intptr_t handle = -1; // an open lock file, to give to TryNativeLock and ReleaseNativeLock
    int error = 0;             // errno or GetLastError() behind Failed
};

// Opens (creating it if need be) the lock file `path`, without locking it yet: status Taken means
// opened here. On POSIX systems `path` is the file system's bytes, on Windows UTF-16.
#ifdef _WIN32
NativeLock OpenNativeLockFile(const wchar_t* path);
#else
NativeLock OpenNativeLockFile(const char* path);
#endif

// One attempt at the exclusive lock on an opened file, without waiting: Taken, Busy, Gone or
// Failed. Gone: the lock was had, but on a file an earlier holder removed from `path` on its
// release; the caller closes it and opens `path` again. `error` gets the system's code behind
// Failed.
#ifdef _WIN32
NativeLockStatus TryNativeLock(std::intptr_t handle, const wchar_t* path, int& error);
#else
NativeLockStatus TryNativeLock(std::intptr_t handle, const char* path, int& error);
#endif

// Releases the lock and closes the file. With `remove`, the file goes first while still locked,
// so that nobody ever holds a lock on a file that has no name any more (POSIX only).
#ifdef _WIN32
void ReleaseNativeLock(std::intptr_t handle, const wchar_t* path, bool remove);
#else
void ReleaseNativeLock(std::intptr_t handle, const char* path, bool remove);
#endif

} // namespace lectoria
