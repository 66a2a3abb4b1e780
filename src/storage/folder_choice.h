#pragma once

#include "rules/ports.h"
#include "rules/selection_state.h"
#include "storage/drive_check.h"
#include "storage/settings_store.h"

#include <QString>
#include <memory>

class QFileDialog;
class QWidget;

namespace lectoria {

inline const QString kFolderPickerTitle = QStringLiteral("Sélectionner un dossier.");

// The folder chooser: a full path, or an empty text on cancel.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    virtual QString BrowseForFolder(QWidget* owner, const QString& title) = 0;
};

// Qt's own folder dialog, in French whatever the system's language, opened on the desktop.
std::unique_ptr<FolderPicker> MakeDialogFolderPicker();

// The system's own picker: on Windows the shell's folder tree, from the desktop, modal to its
// owner; elsewhere Qt's dialog above.
std::unique_ptr<FolderPicker> MakeSystemFolderPicker();

// Where the picker opens: the user's desktop folder (XDG_DESKTOP_DIR on Linux) when it exists,
// else the home folder.
QString FolderPickerStartFolder();

// The picker's dialog, not yet shown: folders only, French columns (type, sizes, dates).
std::unique_ptr<QFileDialog> NewFolderDialog(QWidget* owner, const QString& title);

struct FolderChoiceContext {
    QWidget* owner = nullptr;
    FolderPicker& picker;
    DriveQuery& drives;
    MessageSink& messages;
    FolderBoxPort& folderBox;
    SettingsStore& store;
};

// The "Dossier" action: pick, check the drive, show and store an accepted folder.
void ChooseSaveFolder(SelectionState& state, FolderChoiceContext& context);

} // namespace lectoria
