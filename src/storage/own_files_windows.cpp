#include "storage/own_files.h"

#include <QFileInfo>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <restartmanager.h>

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

} // namespace lectoria
