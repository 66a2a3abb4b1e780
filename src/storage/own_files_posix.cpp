#include "storage/own_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lectoria {

// Their names already tell: nothing to mark.
void HideOwnFile(const QString&) {}
void ShowOwnFile(const QString&) {}

// rename(2) replaces a name whoever holds the file open.
bool HeldOpenElsewhere(const QString&) {
    return false;
}

QString ProgramHolding(const QString&) {
    return {};
}

bool OpenOwnFile(const QString& path, QFile& file, QIODevice::OpenMode mode) {
    const int access =
        mode.testFlag(QIODevice::WriteOnly) ? O_RDWR | (mode.testFlag(QIODevice::Append) ? O_APPEND : 0) : O_RDONLY;
    // O_NONBLOCK: a FIFO planted under the name does not hang the open.
    const int descriptor = ::open(QFile::encodeName(path).constData(), access | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0)
        return false;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid() ||
        status.st_nlink != 1) {
        ::close(descriptor);
        return false;
    }
    file.setFileName(path);
    if (!file.open(descriptor, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return false;
    }
    return true;
}

bool CreateOwnFile(const QString& path, QFile& file, std::error_code& cause) {
    // Opened here rather than by QFile so that the system's own reason for a refusal is known.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0) {
        cause = std::error_code(errno, std::generic_category());
        return false;
    }
    file.setFileName(path);
    if (!file.open(descriptor, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        ::unlink(QFile::encodeName(path).constData());
        cause = std::make_error_code(std::errc::io_error);
        return false;
    }
    return true;
}

bool MayCreateIn(const QString& folder) {
    // The effective identity decides; a read-only mount answers no as well.
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

} // namespace lectoria
