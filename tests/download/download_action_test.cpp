#include "download/download_action.h"
#include "rules/editions.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QSet>
#include <vector>

using namespace lectoria;

namespace {
const QDate kThursday(2007, 5, 3);

struct FixedClock final : Clock {
    QDate Today() const override { return kThursday; }
};

struct Message {
    QString text;
    int style;
    QString title;
};

struct Sink final : MessageSink {
    std::vector<Message> shown;
    int Show(const QString& text, int style, const QString& title) override {
        shown.push_back({text, style, title});
        return kAnswerOk;
    }
};

struct Drives final : DriveQuery {
    int type = DriveType::Fixed;
    QStringList asked;
    int TypeOf(const QString& root) override {
        asked << root;
        return type;
    }
};

struct Files final : FileLookup {
    QSet<QString> existing;
    bool Exists(const QString& path) override { return existing.contains(path); }
};

struct Box final : FolderBoxPort {
    QString text;
    QString Text() const override { return text; }
    void SetText(const QString& t) override { text = t; }
};

// Records every call into the library, in order.
struct Transfer final : TransferLibrary {
    int connected = 1;
    int result = TransferResult::Downloaded;
    QStringList calls;
    int IsConnected() override {
        calls << "IsConnected";
        return connected;
    }
    void SetOption(const QString& name, const QString& value) override { calls << "SetOption " + name + "=" + value; }
    void ClearFiles() override { calls << "ClearFiles"; }
    int Download(QWidget*, const QString& url, const QString& file) override {
        calls << "Download " + url + " -> " + file;
        return result;
    }
    QString LastError() const override { return {}; }
};

class DownloadAction : public testing::Test {
protected:
    FixedClock clock;
    PlainCalendar calendar{kThursday};
    Sink sink;
    Drives drives;
    Files files;
    Box box;
    Transfer transfer;
    ArchiveSettings archives{"http://m.test/fr/divers/pdf/", "http://v.test/"};
    DownloadContext context{nullptr, calendar, clock, sink, drives, files, box, transfer, archives};
    SelectionState state;

    void SetUp() override {
        SelectPaper(state, kMetro);
        Choose("Paris");
        RefreshDateParts(state, 3, 5, 2007);
        state.SaveFolder = box.text = "/presse";
        files.existing << "/presse";
    }
    void Choose(const QString& city) { SelectCity(state, city, static_cast<int>(CityNames().indexOf(city))); }
    void Run() { DownloadSelectedEdition(state, context); }
    QString OnlyMessage() const {
        return sink.shown.size() == 1 ? sink.shown[0].text : QString("<%1 messages>").arg(sink.shown.size());
    }
};
} // namespace

TEST_F(DownloadAction, SuccessCallsTheLibraryInOrderThenConfirms) {
    Run();
    const QString sep = PathSeparator();
    EXPECT_EQ(transfer.calls, QStringList({"IsConnected", "SetOption label=Téléchargement en cours",
                                           "SetOption description=Metro édition Paris du 03/05/2007", "ClearFiles",
                                           "Download http://m.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf -> "
                                           "/presse" +
                                               sep + "20070503_Metro_Paris.pdf"}));
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text, "Téléchargement de Metro du 03/05/2007 réussi.");
    EXPECT_EQ(sink.shown[0].style, 0);
    EXPECT_EQ(sink.shown[0].title, "");
    EXPECT_EQ(state.DownloadResult, 1);
}

TEST_F(DownloadAction, ChecksStopAtTheFirstFailureWithOneMessage) {
    // A Saturday with no city: only the date message.
    calendar.SetValue(QDate(2007, 5, 5));
    Choose("");
    state.SaveFolder.clear();
    Run();
    EXPECT_TRUE(OnlyMessage().startsWith("Pas d'édition le samedi."));
    EXPECT_EQ(calendar.Value(), kThursday);
    EXPECT_TRUE(transfer.calls.isEmpty());

    // No city: M1, whatever the folder.
    sink.shown.clear();
    Run();
    EXPECT_EQ(OnlyMessage(), "Veuillez sélectionner une ville.");
    EXPECT_EQ(sink.shown[0].style, 48);
    EXPECT_EQ(sink.shown[0].title, "Erreur");

    // Not distributed: M2, even with an invalid folder.
    for (const auto& [paper, city] :
         {std::pair{kMetro, "Nantes"}, {kTwentyMinutes, "Rennes"}, {kTwentyMinutes, "Nice"}}) {
        sink.shown.clear();
        SelectPaper(state, paper);
        Choose(city);
        Run();
        EXPECT_EQ(OnlyMessage(), "Journal non distribué dans la ville sélectionnée") << city;
        EXPECT_EQ(sink.shown[0].style, 64);
        EXPECT_EQ(sink.shown[0].title, "Info");
    }
    EXPECT_TRUE(drives.asked.isEmpty());
    EXPECT_TRUE(transfer.calls.isEmpty());
}

TEST_F(DownloadAction, DriveRefusalTakesTheFolderBackFromTheBox) {
    state.SaveFolder = "E:/cdrom";
    drives.type = DriveType::CdRom;
    Run();
    EXPECT_EQ(OnlyMessage(), "Le type de lecteur spécifié est incorrect.\r\nVeuillez sélectionner un autre chemin.");
    EXPECT_EQ(sink.shown[0].style, 16);
    EXPECT_EQ(drives.asked, QStringList{"E:/"});
    EXPECT_EQ(state.SaveFolder, "/presse");
    EXPECT_TRUE(transfer.calls.isEmpty());
}

TEST_F(DownloadAction, MissingOrEmptyFolderIsRefused) {
    for (const QString folder : {"", "/absent", "e:/not-queried", "\\\\serveur\\partage"}) {
        sink.shown.clear();
        state.SaveFolder = folder;
        Run();
        EXPECT_EQ(OnlyMessage(), "Veuillez indiquer un dossier d'enregistrement valide") << folder.toStdString();
        EXPECT_EQ(sink.shown[0].style, 48);
    }
    EXPECT_TRUE(drives.asked.isEmpty()); // none of them starts with a capital letter
    // An existing ordinary file passes the folder step.
    files.existing << "/presse/un-fichier";
    state.SaveFolder = "/presse/un-fichier";
    sink.shown.clear();
    Run();
    EXPECT_EQ(state.DownloadResult, 1);
}

TEST_F(DownloadAction, NoConnectionStillRebuildsTheAddresses) {
    transfer.connected = 0;
    state.SourceUrl = state.TargetFile = "stale";
    Run();
    EXPECT_EQ(OnlyMessage(), "Pas de connexion internet disponible");
    EXPECT_EQ(sink.shown[0].style, 48);
    EXPECT_TRUE(state.SourceUrl.endsWith("FRPAR_2007_05_03.pdf"));
    EXPECT_TRUE(state.TargetFile.endsWith("20070503_Metro_Paris.pdf"));
    EXPECT_EQ(transfer.calls, QStringList{"IsConnected"});
}

TEST_F(DownloadAction, AFailedTransferShowsNothing) {
    for (int result : {TransferResult::NotConnected, TransferResult::NotFound, TransferResult::Cancelled, -1}) {
        transfer.result = result;
        sink.shown.clear();
        Run();
        EXPECT_TRUE(sink.shown.empty()) << result;
        EXPECT_EQ(state.DownloadResult, result);
    }
}

TEST_F(DownloadAction, DescriptionAndMessageUseTheCalendarDateButFileUsesTheParts) {
    // The calendar moved to 30 April (Monday) by the user; the date parts follow only when the
    // window refreshes them, and the action takes each from where it belongs.
    calendar.SetValue(QDate(2007, 4, 30));
    RefreshDateParts(state, 30, 4, 2007);
    Run();
    EXPECT_TRUE(transfer.calls.contains("SetOption description=Metro édition Paris du 30/04/2007"));
    EXPECT_TRUE(state.TargetFile.endsWith("20070430_Metro_Paris.pdf"));
    EXPECT_EQ(OnlyMessage(), "Téléchargement de Metro du 30/04/2007 réussi.");
}
