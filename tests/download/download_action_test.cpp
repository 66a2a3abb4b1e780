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

struct DownloadAction : ::testing::Test {
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

    void SetUp() override {
        SelectPaper(state, kMetro);
        Choose("Paris");
        RefreshDateParts(state, 3, 5, 2007);
        state.SaveFolder = "/presse";
        files.existing << "/presse/un-fichier";
    }
    void Choose(const QString& city) { SelectCity(state, city, static_cast<int>(CityNames().indexOf(city))); }
    QStringList Run() {
        messages.shown.clear();
        DownloadSelectedEdition(state, context);
        return messages.shown;
    }
};
} // namespace

TEST_F(DownloadAction, SuccessCallsTheLibraryInOrderThenConfirms) {
    EXPECT_EQ(Run(), QStringList{"Téléchargement de Metro du 03/05/2007 réussi.|0|"});
    EXPECT_EQ(transfer.calls, QStringList({"IsConnected", "SetOption label=Téléchargement en cours",
                                           "SetOption description=Metro édition Paris du 03/05/2007", "ClearFiles",
                                           "Download http://m.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf -> "
                                           "/presse" +
                                               QString(PathSeparator()) + "20070503_Metro_Paris.pdf"}));
    EXPECT_EQ(state.DownloadResult, 1);

    state.SaveFolder = "/presse/un-fichier"; // an existing ordinary file passes the folder step
    Run();
    EXPECT_EQ(state.DownloadResult, 1);
}

// Each check refuses with its one message and stops there: no later check runs, nothing is transferred.
struct Refusal {
    const char* name;
    int day; // of May 2007
    const char* paper;
    const char* city;
    const char* folder;
    int drive;
    const char* message;
};
void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

class DownloadRefusal : public DownloadAction, public ::testing::WithParamInterface<Refusal> {};

TEST_P(DownloadRefusal, ShowsOneMessageAndTransfersNothing) {
    const Refusal& c = GetParam();
    calendar.SetValue(QDate(2007, 5, c.day));
    SelectPaper(state, c.paper);
    Choose(c.city);
    state.SaveFolder = c.folder;
    drives.type = c.drive;
    EXPECT_EQ(Run(), QStringList{QString::fromUtf8(c.message)});
    EXPECT_TRUE(transfer.calls.isEmpty());
    EXPECT_EQ(calendar.Value(), kThursday); // a refused day is replaced by today
    // Only a refused drive was queried, and it takes the folder back from the box.
    const bool refusedDrive = c.drive != DriveType::Fixed;
    EXPECT_EQ(drives.queried, refusedDrive ? QStringList{"E:/"} : QStringList{});
    EXPECT_EQ(state.SaveFolder, refusedDrive ? box.text : c.folder);
}

const char kNotDistributed[] = "Journal non distribué dans la ville sélectionnée|64|Info";
const char kBadFolder[] = "Veuillez indiquer un dossier d'enregistrement valide|48|Erreur";
const int kFixed = DriveType::Fixed;

INSTANTIATE_TEST_SUITE_P(
    Checks, DownloadRefusal,
    ::testing::Values(
        Refusal{"SaturdayBeforeTheCity", 5, "Metro", "", "", kFixed,
                "Pas d'édition le samedi.\r\nVeuillez sélectionner une autre date.|16|Erreur"},
        Refusal{"NoCityBeforeTheFolder", 3, "Metro", "", "", kFixed, "Veuillez sélectionner une ville.|48|Erreur"},
        // The distribution is checked before the folder.
        Refusal{"MetroNantes", 3, "Metro", "Nantes", "/absent", kFixed, kNotDistributed},
        Refusal{"TwentyNice", 3, "20 minutes", "Nice", "/absent", kFixed, kNotDistributed},
        Refusal{"CdRomDrive", 3, "Metro", "Paris", "E:/cdrom", DriveType::CdRom,
                "Le type de lecteur spécifié est incorrect.\r\nVeuillez sélectionner un autre chemin.|16|Erreur"},
        // None of these starts with a capital letter, so no drive is queried.
        Refusal{"EmptyFolder", 3, "Metro", "Paris", "", kFixed, kBadFolder},
        Refusal{"MissingFolder", 3, "Metro", "Paris", "/absent", kFixed, kBadFolder},
        Refusal{"LowerCaseDrive", 3, "Metro", "Paris", "e:/not-queried", kFixed, kBadFolder}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadAction, NoConnectionStillRebuildsTheAddresses) {
    transfer.connected = 0;
    state.SourceUrl = state.TargetFile = "stale";
    EXPECT_EQ(Run(), QStringList{"Pas de connexion internet disponible|48|Erreur"});
    EXPECT_TRUE(state.SourceUrl.endsWith("FRPAR_2007_05_03.pdf"));
    EXPECT_TRUE(state.TargetFile.endsWith("20070503_Metro_Paris.pdf"));
    EXPECT_EQ(transfer.calls, QStringList{"IsConnected"});
}

TEST_F(DownloadAction, AFailedTransferShowsNothing) {
    for (int result : {TransferResult::NotConnected, TransferResult::NotFound, TransferResult::Cancelled, -1}) {
        transfer.result = result;
        EXPECT_TRUE(Run().isEmpty()) << result;
        EXPECT_EQ(state.DownloadResult, result);
    }
}

// The calendar moved to 30 April by the user: the description and the message read the calendar,
// the file name reads the date parts the window refreshed.
// Date parts left from an earlier day never reach the address or the file: the calendar's day
// is fetched, under its padded parts, and named in the description and the message.
TEST_F(DownloadAction, TheCalendarsDayIsFetchedWhateverThePartsSaidBefore) {
    calendar.SetValue(QDate(2007, 4, 30));
    RefreshDateParts(state, 3, 5, 2007);
    EXPECT_EQ(Run(), QStringList{"Téléchargement de Metro du 30/04/2007 réussi.|0|"});
    EXPECT_TRUE(transfer.calls.contains("SetOption description=Metro édition Paris du 30/04/2007"));
    EXPECT_EQ(state.SourceUrl, "http://m.test/fr/divers/pdf/2007/04/30/FRPAR_2007_04_30.pdf");
    EXPECT_TRUE(state.TargetFile.endsWith("20070430_Metro_Paris.pdf"));
}
