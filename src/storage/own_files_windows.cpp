#include "storage/own_files.h"

#include <QFileInfo>

#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <restartmanager.h>

#include <fcntl.h>
#include <io.h>

#include <string>
#include <vector>

namespace lectoria {

namespace {

std::wstring Wide(const QString& path) {
    return QFileInfo(path).absoluteFilePath().replace(u'/', u'\\').toStdWString();
}

void SetHidden(const QString& path, bool hidden) {
    const std::wstring name = Wide(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    const DWORD wanted = hidden ? attributes | FILE_ATTRIBUTE_HIDDEN : attributes & ~DWORD(FILE_ATTRIBUTE_HIDDEN);
    if (wanted != attributes)
        ::SetFileAttributesW(name.c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted);
}

// The user a file belongs to: the one it was made by, or the group that the user's new files go
// to by default (the Administrators of an elevated session).
bool OwnedByThisUser(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return false;
    bool own = false;
    HANDLE token = nullptr;
    if (owner != nullptr && ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
            DWORD size = 0;
            ::GetTokenInformation(token, kind, nullptr, 0, &size);
            std::vector<char> buffer(size);
            if (size == 0 || !::GetTokenInformation(token, kind, buffer.data(), size, &size))
                continue;
            const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                               : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
            if (::EqualSid(owner, sid)) {
                own = true;
                break;
            }
        }
        ::CloseHandle(token);
    }
    ::LocalFree(descriptor);
    return own;
}

// Whether the file's volume keeps owners at all: FAT32 and exFAT (USB sticks, memory cards) and
// some network shares do not, and there every file is the user's own, as on a Linux vfat mount.
bool VolumeKeepsOwners(HANDLE file) {
    DWORD flags = 0;
    if (!::GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        return true; // unknown: the owner is checked
    return (flags & FILE_PERSISTENT_ACLS) != 0;
}

// Hands a handle to `file`, which closes it; the C runtime's descriptor in binary mode, since
// QFile writes through it.
bool OpenInto(QFile& file, const QString& path, HANDLE handle, int flags, QIODevice::OpenMode mode) {
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (descriptor < 0) {
        ::CloseHandle(handle);
        return false;
    }
    ::_setmode(descriptor, _O_BINARY);
    file.setFileName(path);
    if (!file.open(descriptor, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::_close(descriptor);
        return false;
    }
    return true;
}

} // namespace

void HideOwnFile(const QString& path) {
    SetHidden(path, true);
}

void ShowOwnFile(const QString& path) {
    SetHidden(path, false);
}

bool HeldOpenElsewhere(const QString& path) {
    // Asking for the file with deletion rights and no sharing at all: refused with a sharing
    // violation exactly when some other handle on it is open without sharing deletion, which is
    // what keeps MoveFileEx from replacing it. A refusal of rights answers ERROR_ACCESS_DENIED.
    const std::wstring name = Wide(path);
    const HANDLE file = ::CreateFileW(name.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(file);
        return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

QString ProgramHolding(const QString& path) {
    // The Restart Manager knows which processes hold a file, and their names as the user knows them.
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (::RmStartSession(&session, 0, key) != ERROR_SUCCESS)
        return {};
    QString program;
    std::wstring name = Wide(path);
    LPCWSTR files[] = {name.c_str()};
    if (::RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
        UINT needed = 0;
        UINT count = 0;
        DWORD reasons = 0;
        std::vector<RM_PROCESS_INFO> holders;
        DWORD status = ::RmGetList(session, &needed, &count, nullptr, &reasons);
        if (status == ERROR_MORE_DATA && needed > 0) {
            holders.resize(needed);
            count = needed;
            status = ::RmGetList(session, &needed, &count, holders.data(), &reasons);
        }
        const DWORD self = ::GetCurrentProcessId();
        for (UINT i = 0; status == ERROR_SUCCESS && i < count && i < holders.size(); ++i) {
            if (holders[i].Process.dwProcessId == self)
                continue;
            program = QString::fromWCharArray(holders[i].strAppName).trimmed();
            if (!program.isEmpty())
                break;
        }
    }
    ::RmEndSession(session);
    return program;
}

bool OpenOwnFile(const QString& path, QFile& file, QIODevice::OpenMode mode) {
    const bool writing = mode.testFlag(QIODevice::WriteOnly);
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end, whatever the position.
    const DWORD access = GENERIC_READ | (writing ? FILE_APPEND_DATA : 0);
    // FILE_FLAG_OPEN_REPARSE_POINT: a link (or junction) is opened itself, and refused below.
    const HANDLE handle = ::CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool regular =
        ::GetFileType(handle) == FILE_TYPE_DISK && ::GetFileInformationByHandle(handle, &information) &&
        (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
        information.nNumberOfLinks == 1;
    if (!regular || (VolumeKeepsOwners(handle) && !OwnedByThisUser(handle))) {
        ::CloseHandle(handle);
        return false;
    }
    return OpenInto(file, path, handle, writing ? _O_APPEND : _O_RDONLY, mode);
}

bool CreateOwnFile(const QString& path, QFile& file, std::error_code& cause) {
    // CREATE_NEW: made here and now; an existing name, a link's included, is refused.
    const HANDLE handle = ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // The reasons the transfer names on their own, in the portable terms it classifies; the
        // others (a refusal of rights among them) go as the system's code, which the C++ library
        // maps to the same terms where it can.
        switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            cause = std::make_error_code(std::errc::no_space_on_device);
            break;
        case ERROR_WRITE_PROTECT:
            cause = std::make_error_code(std::errc::read_only_file_system);
            break;
        default:
            cause = std::error_code(int(error), std::system_category());
        }
        return false;
    }
    if (!OpenInto(file, path, handle, 0, QIODevice::WriteOnly)) {
        ::DeleteFileW(Wide(path).c_str());
        cause = std::make_error_code(std::errc::io_error);
        return false;
    }
    return true;
}

bool MayCreateIn(const QString& folder) {
    return QFileInfo(folder).isWritable();
}

} // namespace lectoria
