// The catch-up against doubles, on Wednesday 9 May 2007; what it fetches, keeps or replaces is
// tried end to end by Cli.CatchUpFetchesWhatIsMissingOldestFirstThenNothing.
#include "catchup/catch_up.h"

#include "download/download_doubles.h"
#include "storage/storage_doubles.h"
#include "support/qt_printers.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace lectoria;
using namespace lectoria::catchup;
using testing_support::Write;

namespace {

const QDate kToday(2007, 5, 9);
const QByteArray kPdf("%PDF-1.4\n%%EOF\n");

QStringList Names(const QList<Edition>& editions) {
    QStringList names;
    for (const Edition& edition : editions)
        names << edition.day.toString("MMdd ") + edition.paper + " " + edition.city;
    return names;
}

} // namespace

TEST(PlanCatchUp, OldestFirstInDistributedCitiesAndNothingTheCleanUpWouldDelete) {
    struct Case {
        QStringList papers;
        QStringList cities;
        std::optional<int> keep;
        QStringList expected;
    };
    const Case cases[] = {
        // 20 minutes goes back 7 days: Wednesday 2 May, weekends skipped, up to tomorrow.
        {{"20 minutes"},
         {"Lyon"},
         {},
         {"0502 20 minutes Lyon", "0503 20 minutes Lyon", "0504 20 minutes Lyon", "0507 20 minutes Lyon",
          "0508 20 minutes Lyon", "0509 20 minutes Lyon", "0510 20 minutes Lyon"}},
        // Metro is not in Nantes, 20 minutes not in Nice; the days interleave, papers in the order given.
        {{"20 minutes", "Metro"},
         {"Nantes", "Nice"},
         1,
         {"0508 20 minutes Nantes", "0508 Metro Nice", "0509 20 minutes Nantes", "0509 Metro Nice",
          "0510 20 minutes Nantes", "0510 Metro Nice"}},
        {{"Metro"}, {"Nantes"}, {}, {}},
        {{"Metro"}, {"Paris"}, 0, {"0509 Metro Paris", "0510 Metro Paris"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Names(PlanCatchUp(c.papers, c.cities, kToday, c.keep)), c.expected)
            << c.cities.join(",").toStdString();
}

TEST(IsCompletePdf, StartAndEndMarkersWithinTheLastKibibyte) {
    QTemporaryDir folder;
    struct Case {
        const char* name;
        QByteArray contents;
        bool complete;
    };
    const Case cases[] = {{"entier", kPdf, true},
                          {"tronque", "%PDF-1.4\n1 0 obj", false},
                          {"page-html", "<html>%%EOF", false},
                          {"vide", "", false},
                          {"eof-trop-loin", "%PDF-1.4\n%%EOF\n" + QByteArray(1100, ' '), false},
                          {"eof-a-la-limite", "%PDF-1.4\n%%EOF" + QByteArray(1019, ' '), true}};
    for (const Case& c : cases) {
        Write(folder.filePath(c.name), c.contents);
        EXPECT_EQ(IsCompletePdf(folder.filePath(c.name)), c.complete) << c.name;
    }
    EXPECT_FALSE(IsCompletePdf(folder.filePath("absent")));
    EXPECT_FALSE(IsCompletePdf(folder.path()));
#ifndef _WIN32 // Windows has no named pipes in its file systems
    const QString fifo = folder.filePath("fifo");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(IsCompletePdf(fifo)); // answered at once, not after a writer comes
#endif
}

namespace {

struct Run : ::testing::Test {
    QTemporaryDir folder;
    lectoria::testing::FakeDrives drives;
    testing_support::FakeFiles files;
    testing_support::RecordingTransfer transfer;
    ArchiveSettings archives = DefaultArchiveSettings();
    CatchUpServices services{drives, files, transfer, archives};
    QList<EditionReport> reports;

    void SetUp() override { files.existing = {folder.path()}; }

    CatchUpResult Start(const QList<Edition>& editions) {
        return RunCatchUp(editions, folder.path(), kToday, services,
                          [this](const EditionReport& report) { reports << report; });
    }
    QString File(const QString& name) const { return folder.filePath(name); }
};

} // namespace

// The first edition that meets a closed check stops the run, with the action's own message.
TEST_F(Run, NoConnectionOrARefusedFolderStopsTheRun) {
    const QList<Edition> plan{{"Metro", "Paris", {2007, 5, 8}}, {"Metro", "Paris", {2007, 5, 9}}};
    transfer.connected = 0;
    EXPECT_EQ(Start(plan).stop, CatchUpStop::Offline);
    transfer.connected = 1;
    files.existing.clear();
    const CatchUpResult refused = Start(plan);
    EXPECT_EQ(refused.stop, CatchUpStop::Refused);
    EXPECT_EQ(refused.refusal, "Veuillez indiquer un dossier d'enregistrement valide");
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_TRUE(transfer.calls.filter("Download ").isEmpty());
}

TEST_F(Run, CleanUpRemovesOnlyOldEditionsOfThePapersAndCitiesAsked) {
    const QStringList gone{"20070420_Metro_Paris.pdf", "20070427_20 minutes_Paris.pdf"};
    const QStringList kept{"20070231_Metro_Paris.pdf",
                           "20070420_Metro_Lyon.pdf",
                           "20070420_Metro_Paris.pdf.bak",
                           "20070420_metro_Paris.pdf",
                           "20070428_Metro_Paris.pdf",
                           "20070428_Metro_Paris.pdf.part",
                           "notes.txt"};
    // What interrupted downloads of old editions left goes with them, unreported.
    for (const QString& name :
         gone + kept + QStringList{"20070420_Metro_Paris.pdf.part", "20070420_Metro_Paris.pdf.part.validateur"})
        Write(File(name), kPdf);
    RemoveOldEditions(folder.path(), {"Metro", "20 minutes"}, {"Paris"}, kToday, 11,
                      [this](const EditionReport& report) { reports << report; });
    QStringList removed;
    for (const EditionReport& report : reports) {
        EXPECT_EQ(report.status, EditionStatus::Removed);
        removed << QDir(report.file).dirName();
    }
    EXPECT_EQ(removed, gone); // in name order
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files, QDir::Name), kept);
}

// The network goes away on the second host while the first host's editions are fetched ahead:
// the run stops, and still reports the later edition that was written (it would be missing from
// the report and the notification, and "already there" next time).
TEST_F(Run, AnEarlyStopStillReportsWhatWasFetchedAhead) {
    const Edition later{"Metro", "Paris", {2007, 5, 9}};
    const QList<Edition> plan{{"Metro", "Paris", {2007, 5, 7}}, {"20 minutes", "Paris", {2007, 5, 8}}, later};
    // Transfers that write their edition at the next turn of the event loop, and a network that
    // answers once, then goes away.
    struct Ahead final : ConcurrentTransfers {
        QStringList written;
        void Start(const QString&, const QString& file, Done done) override {
            QTimer::singleShot(0, [this, file, done] {
                Write(file, kPdf);
                written << file;
                done(TransferResult::Downloaded, {});
            });
        }
        int AtOnce(const QString&) const override { return 4; }
    } ahead;
    struct Network final : TransferLibrary {
        int probes = 0;
        int IsConnected(const QString&) override { return ++probes == 1 ? 1 : 0; }
        void SetOption(const QString&, const QString&) override {}
        void ClearFiles() override {}
        int Download(QWidget*, const QString&, const QString&) override { return TransferResult::NetworkError; }
        QString LastError() const override { return {}; }
    } network;
    CatchUpServices offline{drives, files, network, archives};
    const CatchUpResult result = RunCatchUp(
        plan, folder.path(), kToday, offline, [this](const EditionReport& report) { reports << report; }, &ahead);
    EXPECT_EQ(result.stop, CatchUpStop::Offline);
    ASSERT_EQ(ahead.written.size(), 2);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0].edition.day, QDate(2007, 5, 7));
    EXPECT_EQ(reports[1].edition.day, later.day);
    EXPECT_EQ(reports[1].status, EditionStatus::Fetched);
    EXPECT_EQ(reports[1].file, ahead.written.filter("20070509").value(0));
}

// Transfers beside each other, through a double that counts those under way: never more for a
// host than it is worth at once, the rest together as soon as the host is found multiplexing, and
// a host that stops answering leaves the editions not yet asked for aside, with the cause.
TEST_F(Run, TransfersAtOnceFollowWhatTheHostIsWorth) {
    struct Paced final : ConcurrentTransfers {
        int atOnce = 2;
        int raiseTo = 0; // at the first start, as a TLS handshake saying HTTP/2 does
        int result = TransferResult::Downloaded;
        int underWay = 0, most = 0, started = 0;
        void Start(const QString& url, const QString& file, Done done) override {
            most = std::max(most, ++underWay);
            if (++started == 1 && raiseTo > 0)
                QTimer::singleShot(0, [this, url] {
                    atOnce = raiseTo;
                    onMoreAtOnce(url);
                });
            QTimer::singleShot(0, [this, file, done] {
                --underWay;
                if (result == TransferResult::Downloaded)
                    Write(file, kPdf);
                done(result, result == TransferResult::Downloaded ? QString() : "Le serveur ne répond plus.");
            });
        }
        int AtOnce(const QString&) const override { return atOnce; }
    };
    const QList<Edition> plan = PlanCatchUp({"Metro"}, {"Paris"}, kToday, std::nullopt);
    ASSERT_GE(plan.size(), 9);
    const auto run = [&](Paced& paced) {
        reports.clear();
        QDir(folder.path()).removeRecursively();
        QDir().mkpath(folder.path());
        RunCatchUp(
            plan, folder.path(), kToday, services, [this](const EditionReport& r) { reports << r; }, &paced);
        EXPECT_EQ(reports.size(), plan.size());
    };
    Paced http1;
    run(http1);
    EXPECT_EQ(http1.most, 2);
    EXPECT_EQ(http1.started, plan.size());

    Paced http2;
    http2.raiseTo = 8;
    run(http2);
    EXPECT_EQ(http2.most, 8);

    Paced silent;
    silent.result = TransferResult::TimedOut;
    run(silent);
    EXPECT_EQ(silent.started, 2);
    for (const EditionReport& report : reports) {
        EXPECT_EQ(report.status, EditionStatus::Failed);
        EXPECT_TRUE(report.error.startsWith("Le serveur ne répond plus.")) << report.error.toStdString();
    }
    EXPECT_TRUE(reports.last().error.contains("ne répondait déjà plus")) << reports.last().error.toStdString();
}

// A folder that cannot be listed is one failure, said, not a clean-up that silently did nothing.
TEST_F(Run, CleanUpOfAFolderThatCannotBeListedIsAFailure) {
    Write(File("plain"), kPdf);
    const QString unreadable = File("ferme");
    ASSERT_TRUE(QDir(folder.path()).mkdir("ferme"));
    QFile::setPermissions(unreadable, QFile::WriteOwner | QFile::ExeOwner);
    const bool listable = QDir(unreadable).entryList(QDir::AllEntries).size() > 0; // root reads it anyway
    const std::pair<QString, const char*> cases[] = {{File("parti"), "(il n'existe plus)"},
                                                     {File("plain"), "(il n'existe plus)"},
                                                     {unreadable, "(permission refusée)"}};
    for (const auto& [where, cause] : cases) {
        if (where == unreadable && listable)
            continue;
        reports.clear();
        RemoveOldEditions(where, {"Metro"}, {"Paris"}, kToday, 11,
                          [this](const EditionReport& report) { reports << report; });
        ASSERT_EQ(reports.size(), 1) << where.toStdString();
        EXPECT_EQ(reports[0].status, EditionStatus::Failed);
        EXPECT_EQ(reports[0].error, "Impossible de lire le contenu du dossier " + where + " " + cause +
                                        " : les éditions de plus de 11 jours n'ont pas été supprimées.");
    }
    QFile::setPermissions(unreadable, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
