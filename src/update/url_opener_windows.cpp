#include "update/url_opener_native.h"

#include <QDir>

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>

namespace lectoria {

// The shell's "open": the user's handler for the address (the PDF reader for an edition, the
// browser for a web page), in a normal window, in the wide form so that any name comes through.
void OpenWithoutWindow(const QUrl& url) {
    const QString target = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
    const std::wstring wide = target.toStdWString();
    ::ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool CanOpenWithoutWindow() {
    return true;
}

} // namespace lectoria
