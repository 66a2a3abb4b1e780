#pragma once

namespace lectoria {

// GetDriveTypeW on a root such as L"C:\\"; the result is one of the DRIVE_* codes.
int QueryWindowsDriveType(const wchar_t* root);

} // namespace lectoria
