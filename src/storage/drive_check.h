#pragma once

#include "rules/selection_state.h"

#include <QString>
#include <memory>

namespace lectoria {

// Drive types as the Windows drive query reports them.
namespace DriveType {
inline constexpr int Unknown = 0;
inline constexpr int NoRootDir = 1;
inline constexpr int Removable = 2;
inline constexpr int Fixed = 3;
inline constexpr int Remote = 4;
inline constexpr int CdRom = 5;
inline constexpr int RamDisk = 6;
} // namespace DriveType

class DriveQuery {
public:
    virtual ~DriveQuery() = default;
    virtual int TypeOf(const QString& root) = 0;
};

// GetDriveTypeW on Windows; a classification of the named path's file system elsewhere.
std::unique_ptr<DriveQuery> MakeSystemDriveQuery();

// DriveRoot := first three characters of the folder. Only a first character A-Z is queried;
// the types 0, 1, 5 and 7 and above are refused.
bool CheckFolderDrive(SelectionState& state, const QString& folder, DriveQuery& drives);

inline const QString kDriveRefusedTitle = QStringLiteral("Erreur");
inline const QString kDriveRefusedText =
    QStringLiteral("Le type de lecteur spécifié est incorrect.\r\nVeuillez sélectionner un autre chemin.");

} // namespace lectoria
