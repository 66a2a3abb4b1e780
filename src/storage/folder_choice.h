#pragma once

#include "rules/ports.h"
#include "rules/selection_state.h"
#include "storage/drive_check.h"
#include "storage/settings_store.h"

#include <QString>
#include <memory>

class QWidget;

namespace lectoria {

inline const QString kFolderPickerTitle = QStringLiteral("Sélectionner un dossier.");

// The folder chooser: a full path, or an empty text on cancel.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    virtual QString BrowseForFolder(QWidget* owner, const QString& title) = 0;
};

// QFileDialog::getExistingDirectory, native where the platform has one.
std::unique_ptr<FolderPicker> MakeDialogFolderPicker();

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
