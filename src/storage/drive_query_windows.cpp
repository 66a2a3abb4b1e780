#include "storage/drive_query_windows.h"

#include <windows.h>

namespace lectoria {

int QueryWindowsDriveType(const wchar_t* root) {
    // The wide form: a root given in Unicode never goes through the ANSI code page.
    return static_cast<int>(::GetDriveTypeW(root));
}

} // namespace lectoria

#include "storage/drive_check.h"

#include <string>

namespace lectoria {

namespace {

class WindowsDriveQuery final : public DriveQuery {
public:
    int TypeOf(const QString& root) override {
        const std::wstring wide = root.toStdWString();
        return QueryWindowsDriveType(wide.c_str());
    }
};

} // namespace

std::unique_ptr<DriveQuery> MakeSystemDriveQuery() {
    return std::make_unique<WindowsDriveQuery>();
}

} // namespace lectoria
