// The real folder dialog, offscreen: where it opens and the language of its columns.
#include "storage/folder_choice.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QAbstractProxyModel>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>

using namespace lectoria;

namespace {

// A home folder of its own, with a user-dirs.dirs naming the desktop "Bureau".
struct Home {
    QTemporaryDir dir;
    QByteArray savedHome = qgetenv("HOME");
    QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    Home() {
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/.config").toUtf8());
        QDir(dir.path()).mkpath(".config");
        QFile dirs(dir.path() + "/.config/user-dirs.dirs");
        EXPECT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    }
    ~Home() {
        qputenv("HOME", savedHome);
        qputenv("XDG_CONFIG_HOME", savedConfig);
    }
};

} // namespace

TEST(FolderDialog, OpensOnTheDesktopElseTheHomeFolder) {
    Home home;
    EXPECT_EQ(FolderPickerStartFolder(), QDir::homePath());
    QDir(home.dir.path()).mkdir("Bureau");
    EXPECT_EQ(FolderPickerStartFolder(), home.dir.path() + "/Bureau");
    EXPECT_EQ(NewFolderDialog(nullptr, kFolderPickerTitle)->directory().absolutePath(), home.dir.path() + "/Bureau");
}

TEST(FolderDialog, ColumnsAreInFrench) {
    Home home;
    QDir(home.dir.path()).mkpath("Bureau/Presse");
    const auto dialog = NewFolderDialog(nullptr, kFolderPickerTitle);
    dialog->show();
    auto* files = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    QAbstractProxyModel* columns = dialog->proxyModel();
    ASSERT_NE(columns, nullptr);
    const QModelIndex presse = columns->mapFromSource(files->index(home.dir.path() + "/Bureau/Presse"));
    const auto cell = [&](int column) { return presse.siblingAtColumn(column).data().toString(); };
    QTRY_COMPARE_WITH_TIMEOUT(cell(2), QString("Dossier"), 10000);
    EXPECT_EQ(cell(1), "");
    EXPECT_EQ(cell(3), QLocale(QLocale::French)
                           .toString(QFileInfo(home.dir.path() + "/Bureau/Presse").lastModified(), "dd/MM/yyyy HH:mm"));
}
