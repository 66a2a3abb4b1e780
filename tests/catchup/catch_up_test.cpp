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
#include <condition_variable>
#include <mutex>
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

// The network goes away on the second host while a worker fetches ahead on the first: the run
// stops, and still reports the edition that worker wrote (it would be missing from the report
// and the notification, and "already there" next time).
TEST_F(Run, AnEarlyStopStillReportsWhatWorkersWrote) {
    const Edition later{"Metro", "Paris", {2007, 5, 9}};
    const QList<Edition> plan{{"Metro", "Paris", {2007, 5, 7}}, {"20 minutes", "Paris", {2007, 5, 8}}, later};
    std::mutex mutex;
    std::condition_variable written;
    QStringList files;
    // A worker that writes its edition at once, and a network that answers once, then goes away.
    struct Stub final : TransferLibrary {
        std::function<void(const QString&)> wrote;
        std::function<int()> answer;
        int IsConnected(const QString&) override { return answer(); }
        void SetOption(const QString&, const QString&) override {}
        void ClearFiles() override {}
        int Download(QWidget*, const QString&, const QString& file) override {
            Write(file, kPdf);
            wrote(file);
            return TransferResult::Downloaded;
        }
        QString LastError() const override { return {}; }
    } network;
    int probes = 0;
    network.answer = [&] {
        if (++probes == 1)
            return 1;
        std::unique_lock lock(mutex); // gone once the first host's worker wrote the later edition
        written.wait_for(lock, std::chrono::seconds(10), [&] { return files.size() == 2; });
        return 0;
    };
    CatchUpServices offline{drives, this->files, network, archives};
    const CatchUpResult result = RunCatchUp(
        plan, folder.path(), kToday, offline, [this](const EditionReport& report) { reports << report; },
        [&] {
            auto worker = std::make_unique<Stub>();
            worker->wrote = [&](const QString& file) {
                const std::lock_guard lock(mutex);
                files << file;
                written.notify_all();
            };
            return worker;
        });
    EXPECT_EQ(result.stop, CatchUpStop::Offline);
    ASSERT_EQ(files.size(), 2);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0].edition.day, QDate(2007, 5, 7));
    EXPECT_EQ(reports[1].edition.day, later.day);
    EXPECT_EQ(reports[1].status, EditionStatus::Fetched);
    EXPECT_EQ(reports[1].file, files.filter("20070509").value(0));
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
