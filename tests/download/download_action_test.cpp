#include "download/download_doubles.h"
#include "rules/editions.h"
#include "storage/storage_doubles.h"
#include "support/doubles.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::testing_support;
using lectoria::testing::FakeDrives;

namespace {
const QDate kThursday(2007, 5, 3);

struct Box final : FolderBoxPort {
    QString text = "/boite";
    QString Text() const override { return text; }
    void SetText(const QString& t) override { text = t; }
};

struct Rig {
    FixedClock clock{kThursday};
    PlainCalendar calendar{kThursday};
    RecordingMessages messages;
    FakeDrives drives;
    FakeFiles files;
    Box box;
    RecordingTransfer transfer;
    ArchiveSettings archives{"http://m.test/fr/divers/pdf/", "http://v.test/"};
    DownloadContext context{nullptr, calendar, clock, messages, drives, files, box, transfer, archives};
    SelectionState state;

    Rig() {
        SelectPaper(state, kMetro);
        Choose("Paris");
        RefreshDateParts(state, 3, 5, 2007);
        state.SaveFolder = "/presse";
        files.existing << "/presse/un-fichier";
    }
    void Choose(const QString& city) { SelectCity(state, city, static_cast<int>(CityNames().indexOf(city))); }
    QStringList Download() {
        messages.shown.clear();
        DownloadSelectedEdition(state, context);
        return messages.shown;
    }
};
struct DownloadAction : ::testing::Test, Rig {};
} // namespace

TEST_F(DownloadAction, SuccessCallsTheLibraryInOrderThenConfirms) {
    EXPECT_EQ(Download(), QStringList{"Téléchargement de Metro du 03/05/2007 réussi.|0|"});
    EXPECT_EQ(transfer.calls, QStringList({"IsConnected", "SetOption label=Téléchargement en cours",
                                           "SetOption description=Metro édition Paris du 03/05/2007", "ClearFiles",
                                           "Download http://m.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf -> "
                                           "/presse" +
                                               QString(PathSeparator()) + "20070503_Metro_Paris.pdf"}));
    EXPECT_EQ(state.DownloadResult, 1);

    state.SaveFolder = "/presse/un-fichier"; // an existing ordinary file passes the folder step
    Download();
    EXPECT_EQ(state.DownloadResult, 1);
}

// Each check refuses with its one message and stops there: no later check runs, nothing is
// transferred, the calendar is put back on today, and only a refused drive is queried.
TEST(DownloadRefusal, ShowsOneMessageAndTransfersNothing) {
    const char notDistributed[] = "Journal non distribué dans la ville sélectionnée|64|Info";
    const char badFolder[] = "Veuillez indiquer un dossier d'enregistrement valide|48|Erreur";
    const int fixed = DriveType::Fixed;
    const struct {
        int day; // of May 2007
        const char *paper, *city, *folder;
        int drive;
        const char* message;
    } cases[] = {
        {5, "Metro", "", "", fixed, "Pas d'édition le samedi.\r\nVeuillez sélectionner une autre date.|16|Erreur"},
        {3, "Metro", "", "", fixed, "Veuillez sélectionner une ville.|48|Erreur"},
        {3, "Metro", "Nantes", "/absent", fixed, notDistributed}, // before the folder
        {3, "20 minutes", "Nice", "/absent", fixed, notDistributed},
        {3, "Metro", "Paris", "E:/cdrom", DriveType::CdRom,
         "Le type de lecteur spécifié est incorrect.\r\nVeuillez sélectionner un autre chemin.|16|Erreur"},
        // No capital drive letter: no drive is queried.
        {3, "Metro", "Paris", "", fixed, badFolder},
        {3, "Metro", "Paris", "/absent", fixed, badFolder},
        {3, "Metro", "Paris", "e:/not-queried", fixed, badFolder}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.day) + " " + c.paper + " " + c.city + " " + c.folder);
        Rig r;
        r.calendar.SetValue(QDate(2007, 5, c.day));
        SelectPaper(r.state, c.paper);
        r.Choose(c.city);
        r.state.SaveFolder = c.folder;
        r.drives.type = c.drive;
        EXPECT_EQ(r.Download(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_TRUE(r.transfer.calls.isEmpty());
        EXPECT_EQ(r.calendar.Value(), kThursday);
        const bool refusedDrive = c.drive != fixed; // it takes the folder back from the box
        EXPECT_EQ(r.drives.queried, refusedDrive ? QStringList{"E:/"} : QStringList{});
        EXPECT_EQ(r.state.SaveFolder, refusedDrive ? r.box.text : c.folder);
    }
}

TEST_F(DownloadAction, NoConnectionStillRebuildsTheAddresses) {
    transfer.connected = 0;
    state.SourceUrl = state.TargetFile = "stale";
    EXPECT_EQ(Download(), QStringList{"Pas de connexion internet disponible|48|Erreur"});
    EXPECT_TRUE(state.SourceUrl.endsWith("FRPAR_2007_05_03.pdf"));
    EXPECT_TRUE(state.TargetFile.endsWith("20070503_Metro_Paris.pdf"));
    EXPECT_EQ(transfer.calls, QStringList{"IsConnected"});
}

TEST_F(DownloadAction, AFailedTransferShowsNothing) {
    for (int result : {TransferResult::NotConnected, TransferResult::NotFound, TransferResult::Cancelled, -1}) {
        transfer.result = result;
        EXPECT_TRUE(Download().isEmpty()) << result;
        EXPECT_EQ(state.DownloadResult, result);
    }
}

// Date parts left from an earlier day never reach the address, the file, the description or the message.
TEST_F(DownloadAction, TheCalendarsDayIsFetchedWhateverThePartsSaidBefore) {
    calendar.SetValue(QDate(2007, 4, 30));
    RefreshDateParts(state, 3, 5, 2007);
    EXPECT_EQ(Download(), QStringList{"Téléchargement de Metro du 30/04/2007 réussi.|0|"});
    EXPECT_TRUE(transfer.calls.contains("SetOption description=Metro édition Paris du 30/04/2007"));
    EXPECT_EQ(state.SourceUrl, "http://m.test/fr/divers/pdf/2007/04/30/FRPAR_2007_04_30.pdf");
    EXPECT_TRUE(state.TargetFile.endsWith("20070430_Metro_Paris.pdf"));
}
