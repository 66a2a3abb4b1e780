#include "storage/folder_choice.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QStandardPaths>
#include <QTreeView>

namespace lectoria {

namespace {

// The file model writes its type, size and date columns in the system's language; the whole
// program speaks French, so the picker does too.
class FrenchFileColumns final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QLocale french(QLocale::French, QLocale::France);
        switch (index.column()) {
        case 1: // size
            return files->isDir(source) ? QString() : french.formattedDataSize(files->size(source));
        case 2: // type
            return files->isDir(source) ? QStringLiteral("Dossier") : QIdentityProxyModel::data(index, role);
        case 3: // date modified
            return french.toString(files->lastModified(source), QStringLiteral("dd/MM/yyyy HH:mm"));
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};

class DialogFolderPicker final : public FolderPicker {
public:
    QString BrowseForFolder(QWidget* owner, const QString& title) override {
        const auto dialog = NewFolderDialog(owner, title);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return {};
        const QString folder = dialog->selectedFiles().first();
        // Qt gives "/" separators on every platform; the drive check and the file names built
        // from the folder expect the platform's own ("C:\\..." on Windows).
        return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
    }
};

} // namespace

QString FolderPickerStartFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return desktop;
    return QDir::homePath();
}

std::unique_ptr<QFileDialog> NewFolderDialog(QWidget* owner, const QString& title) {
    auto dialog = std::make_unique<QFileDialog>(owner, title, FolderPickerStartFolder());
    // Qt's own dialog: a platform dialog would speak the desktop's language, not the program's.
    dialog->setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setLocale(QLocale(QLocale::French, QLocale::France));
    dialog->setProxyModel(new FrenchFileColumns(dialog.get()));
    dialog->resize(720, 440);
    // Every column as wide as its French header and its longest entry: nothing clipped.
    if (auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < 4; ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    return dialog;
}

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
