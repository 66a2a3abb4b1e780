#include "storage/drive_check.h"

namespace lectoria {

bool CheckFolderDrive(SelectionState& state, const QString& folder, DriveQuery& drives) {
    state.DriveRoot = folder.left(3);
    if (state.DriveRoot.isEmpty())
        return true; // the caller refuses an empty folder with its own test

    // Only a drive letter in capitals is asked about. Lower-case letters, the backslash of a
    // network share, digits and accented capitals all pass without a query.
    const QChar first = state.DriveRoot.front();
    if (first < QLatin1Char('A') || first > QLatin1Char('Z'))
        return true;

    const int type = drives.TypeOf(state.DriveRoot);
    return !(type < DriveType::Removable || type == DriveType::CdRom || type > DriveType::RamDisk);
}

} // namespace lectoria
