#include "storage_doubles.h"
#include "support/doubles.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::testing;

namespace {

struct Chooser {
    SelectionState state;
    FakeStore store;
    FakePicker picker;
    FakeDrives drives;
    testing_support::RecordingMessages messages;
    FakeFolderBox box{state, store, "/ancien"};
    FolderChoiceContext context{nullptr, picker, drives, messages, box, store};
    Chooser(const QString& answer, int type) {
        picker.answer = answer;
        drives.type = type;
        state.SaveFolder = "/ancien";
        store.values[kFolderValueName] = QString("/ancien");
    }
    size_t CheminWrites(const QString& text) const {
        return std::count(store.writes.begin(), store.writes.end(), std::pair(kFolderValueName, QVariant(text)));
    }
};

} // namespace

TEST(ChooseSaveFolder, AcceptedFolderIsShownAndWrittenTwice) {
    for (int type : {2, 3, 4, 6}) {
        Chooser c("E:\\Presse", type);
        ChooseSaveFolder(c.state, c.context);
        EXPECT_EQ(c.picker.titles, QStringList{"Sélectionner un dossier."});
        EXPECT_EQ(c.box.text, "E:\\Presse");
        EXPECT_EQ(c.state.SaveFolder, "E:\\Presse");
        EXPECT_EQ(c.CheminWrites("E:\\Presse"), 2u);
        EXPECT_TRUE(c.messages.shown.isEmpty());
    }
    Chooser same("/ancien", 3); // no drive letter, and no Change either: still stored once
    ChooseSaveFolder(same.state, same.context);
    EXPECT_EQ(same.CheminWrites("/ancien"), 1u);
}

TEST(ChooseSaveFolder, CancelOrRefusedDriveChangesNothing) {
    const std::pair<const char*, int> cases[] = {{"", 3},       {"E:\\Cd", 0}, {"E:\\Cd", 1},
                                                 {"E:\\Cd", 5}, {"E:\\Cd", 7}, {"E:\\Cd", 8}};
    for (const auto& [answer, type] : cases) {
        Chooser c(answer, type);
        c.state.SaveFolder = "stale";
        ChooseSaveFolder(c.state, c.context);
        EXPECT_EQ(c.box.text, "/ancien");
        EXPECT_EQ(c.state.SaveFolder, "/ancien");
        EXPECT_TRUE(c.store.writes.empty());
        EXPECT_EQ(c.store.values[kFolderValueName], QVariant("/ancien"));
        const QString refusal = kDriveRefusedText + "|16|Erreur";
        EXPECT_EQ(c.messages.shown, *answer ? QStringList{refusal} : QStringList{});
    }
}

// The verdict for each drive type is tried through ChooseSaveFolder above.
// The query would refuse (CD drive), so only a queried folder is refused.
TEST(CheckFolderDrive, OnlyACapitalLetterFromAToZIsQueried) {
    const struct {
        const char* folder;
        const char* root;
        bool queried;
    } cases[] = {{"c:\\presse", "c:\\", false},
                 {"\\\\serveur\\partage", "\\\\s", false},
                 {"1abc", "1ab", false},
                 {"Édition", "Édi", false},
                 {"", "", false},
                 {"@:\\", "@:\\", false},
                 {"[:\\", "[:\\", false},
                 {"A:\\x", "A:\\", true},
                 {"Z:\\", "Z:\\", true},
                 {"D", "D", true},
                 {"D:", "D:", true}};
    for (const auto& c : cases) {
        SelectionState state;
        state.DriveRoot = "old";
        FakeDrives drives;
        drives.type = DriveType::CdRom;
        EXPECT_EQ(CheckFolderDrive(state, QString::fromUtf8(c.folder), drives), !c.queried) << c.folder;
        EXPECT_EQ(state.DriveRoot, QString::fromUtf8(c.root));
        EXPECT_EQ(drives.queried, c.queried ? QStringList{QString::fromUtf8(c.root)} : QStringList{});
    }
}
