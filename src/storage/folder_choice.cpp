#include "storage/folder_choice.h"

#include <QDir>
#include <QFileDialog>

namespace lectoria {

namespace {

class DialogFolderPicker final : public FolderPicker {
public:
    QString BrowseForFolder(QWidget* owner, const QString& title) override {
        const QString folder = QFileDialog::getExistingDirectory(owner, title);
        // Qt gives "/" separators on every platform; the drive check and the file names built
        // from the folder expect the platform's own ("C:\..." on Windows).
        return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
    }
};

} // namespace

std::unique_ptr<FolderPicker> MakeDialogFolderPicker() {
    return std::make_unique<DialogFolderPicker>();
}

void ChooseSaveFolder(SelectionState& state, FolderChoiceContext& context) {
    state.SaveFolder = context.picker.BrowseForFolder(context.owner, kFolderPickerTitle);
    if (state.SaveFolder.isEmpty()) {
        // Cancelled, or nothing with a file-system path: the box and the settings stay as they are.
        state.SaveFolder = context.folderBox.Text();
        return;
    }
    if (!CheckFolderDrive(state, state.SaveFolder, context.drives)) {
        context.messages.Show(kDriveRefusedText, MessageStyle::Critical, kDriveRefusedTitle);
        state.SaveFolder = context.folderBox.Text();
        return;
    }
    // The box's Change handler takes the text back into SaveFolder and stores it; it is stored
    // once more here, so that choosing the folder already shown still writes it.
    context.folderBox.SetText(state.SaveFolder);
    (void)StoreSaveFolder(state, context.store);
}

} // namespace lectoria
