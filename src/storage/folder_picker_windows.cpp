#include "storage/folder_choice.h"

#include <QWidget>

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace lectoria {

namespace {

// The longest path Windows gives back through the extended call; MAX_PATH (260) is only the
// older limit, which a deep folder passes.
constexpr DWORD kLongestPath = 32768;

// The shell's own "browse for folder" box: its tree starts at the desktop, only folders of the
// file system can be confirmed, and the main window is its owner. The wide forms of the calls
// bring back a folder named in any script whole, whatever the system's ANSI code page.
class ShellFolderPicker final : public FolderPicker {
public:
    QString BrowseForFolder(QWidget* owner, const QString& title) override {
        // The picker's tree is a COM control: the thread needs COM, in the apartment the shell
        // wants. A thread already set up some other way keeps its apartment.
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        const std::wstring prompt = title.toStdWString();
        BROWSEINFOW request{};
        request.hwndOwner = owner ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
        request.pidlRoot = nullptr; // the desktop
        request.pszDisplayName = nullptr;
        request.lpszTitle = prompt.c_str();
        request.ulFlags = BIF_RETURNONLYFSDIRS;
        PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&request);
        QString folder;
        if (chosen) {
            folder = PathOf(chosen);
            ::CoTaskMemFree(chosen);
        }
        if (SUCCEEDED(com))
            ::CoUninitialize();
        return folder;
    }

private:
    static QString PathOf(PCIDLIST_ABSOLUTE item) {
        std::vector<wchar_t> path(kLongestPath, L'\0');
        if (!::SHGetPathFromIDListEx(item, path.data(), kLongestPath, GPFIDL_DEFAULT)) {
            std::fill(path.begin(), path.end(), L'\0');
            if (!::SHGetPathFromIDListW(item, path.data()))
                return {};
        }
        // Up to the first code 0: an item with no path in the file system gives an empty text.
        return QString::fromWCharArray(path.data());
    }
};

} // namespace

std::unique_ptr<FolderPicker> MakeSystemFolderPicker() {
    return std::make_unique<ShellFolderPicker>();
}

} // namespace lectoria
