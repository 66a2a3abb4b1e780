// lectoria-cli as a real process: its exit status, stdout, stderr and the folder afterwards.
#include "cli_run.h"
#include "support/fake_time.h"
#include "support/namespaces.h"
#include "support/qt_printers.h"
#include "support/test_files.h"
#include "support/test_server.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <set>

using namespace lectoria::testing_support;

namespace {

class Cli : public testing::Test {
protected:
    QTemporaryDir config;
    QTemporaryDir folder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    void SetUp() override {
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("LECTORIA_METRO_URL", "http://metro.test/fr/divers/pdf/");
        env.insert("LECTORIA_20MINUTES_URL", "http://vingt.test/");
        env.insert("LC_ALL", "C");
    }
    Outcome Start(const QStringList& arguments) { return RunCli(env, arguments); }
    // The program run with "today" fixed by libfaketime.
    Outcome StartOn(const QString& when, const QStringList& arguments) {
        QProcessEnvironment fixed = env;
        fixed.insert("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0");
        FixTheClock(fixed, when);
        return RunCli(fixed, arguments);
    }
    void UseArchive(const TestServer& server) {
        env.insert("LECTORIA_METRO_URL", QString::fromStdString(server.url("/fr/divers/pdf/")));
        env.insert("LECTORIA_20MINUTES_URL", QString::fromStdString(server.url("/")));
    }
    QString Conf(const QString& base) { return base + "/Orvane/Lectoria.conf"; }
};

class CliSettings : public Cli {};

} // namespace

TEST_F(Cli, VersionHelpAndBadCommandLines) {
    EXPECT_EQ(Start({"--version"}).out, "Lectoria 1.1.8\n");
    const QString help = Start({"--help"}).out;
    EXPECT_TRUE(help.contains("Codes de sortie : 0 réussite"));
    for (const QString& line : help.split('\n')) // a quoted word never wrapped away from its guillemets
        EXPECT_EQ(line.count(QChar(0xAB)), line.count(QChar(0xBB))) << line.toStdString();
    const std::pair<QStringList, const char*> cases[] = {{{"--journal", "libé"}, "Journaux acceptés"},
                                                         {{"--ville", "Brest"}, "Villes acceptées : Bordeaux, Lille"},
                                                         {{"--date", "2007-02-30"}, "AAAA-MM-JJ"},
                                                         {{"--date", "03/05/2007"}, "AAAA-MM-JJ"},
                                                         {{"--inconnue"}, "inconnue"},
                                                         {{"en-trop"}, "Argument inattendu"}};
    for (const auto& [args, says] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Outcome run = Start(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(says))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

// On Thursday 10 May 2007: each refusal's exact text, the first failed check in order winning.
TEST_F(Cli, RefusalsFollowTheOrderOfTheChecks) {
    const QString today = "2007-05-10";
    const std::pair<QStringList, QString> cases[] = {
        {{"--date", "2007-05-05"}, "Pas d'édition le samedi.\nVeuillez sélectionner une autre date.\n"},
        {{"--date", "2000-01-03", "--ville", "Lyon"},
         "Impossible de télécharger une édition de 20 minutes datant de plus de 7 jours.\n"
         "Veuillez sélectionner une date plus proche.\n"},
        {{"--date", "2007-04-25", "--journal", "metro", "--ville", "Paris"},
         "Impossible de télécharger une édition de Metro datant de plus de 14 jours.\n"
         "Veuillez sélectionner une date plus proche.\n"},
        {{"--date", today}, "Veuillez sélectionner une ville.\n"},
        {{"--date", today, "--journal", "metro", "--ville", "Nantes", "--dossier", "/nulle/part"},
         "Journal non distribué dans la ville sélectionnée\n"},
        {{"--date", today, "--ville", "Lyon", "--dossier", folder.path() + "/absent"},
         "Veuillez indiquer un dossier d'enregistrement valide\n"},
        {{"--date", today, "--ville", "Lyon"}, "Veuillez indiquer un dossier d'enregistrement valide\n"},
    };
    for (const auto& [args, err] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Outcome run = StartOn("2007-05-10 12:00:00", args + QStringList{"--adresse"});
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.err, err);
        EXPECT_TRUE(run.out.isEmpty());
    }
}

// The stored city and folder are the defaults, even read out of a garbled file, and are never
// written back; --adresse prints the edition's address and file and downloads nothing.
TEST_F(CliSettings, StoredCityAndFolderAreReadEvenGarbledAndNeverWritten) {
    ASSERT_TRUE(QDir().mkpath(config.filePath("Orvane")));
    const QByteArray chemin = "Chemin=" + folder.path().toUtf8() + "\n";
    const struct {
        QByteArray stored;
        QStringList args;
        QString address, file;
    } cases[] = {
        {"[General]\nVille=3\n" + chemin, {}, "http://vingt.test/20070503_LYO.pdf", "20070503_20 minutes_Lyon.pdf"},
        {QByteArray("\x01\xff\xfe garbage\0\n", 13) + chemin + "Ville=7\n[[[\n=\n\x80\x81",
         {"--journal", "metro"},
         "http://metro.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf",
         "20070503_Metro_Paris.pdf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        Write(Conf(config.path()), c.stored);
        const Outcome run = StartOn("2007-05-10 12:00:00", c.args + QStringList{"--date", "2007-05-03", "--adresse"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.address + "\n" + folder.filePath(c.file) + "\n");
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(QDir(folder.path()).isEmpty());
        EXPECT_EQ(Read(Conf(config.path())), c.stored);
    }
}

// An administrator's archive in the system-wide settings, no variable: the command line takes it,
// after saying why it passed over the user's own faulty one.
TEST_F(Cli, ArchiveFromTheSystemWideSettings) {
    QTemporaryDir system;
    ASSERT_TRUE(QDir().mkpath(system.filePath("Orvane")) && QDir().mkpath(config.filePath("Orvane")));
    Write(Conf(system.path()), "[Adresses]\nArchiveMetro=http://systeme.test/fr/divers/pdf/\n");
    Write(Conf(config.path()), "[Adresses]\nArchiveMetro=systeme.test\n");
    env.insert("XDG_CONFIG_DIRS", system.path());
    env.remove("LECTORIA_METRO_URL");
    const Outcome run = StartOn("2007-05-10 12:00:00", {"--journal", "metro", "--ville", "Paris", "--date",
                                                        "2007-05-03", "--dossier", folder.path(), "--adresse"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "http://systeme.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf\n" +
                           folder.filePath("20070503_Metro_Paris.pdf") + "\n");
    EXPECT_EQ(run.err, "La clé Adresses/ArchiveMetro de " + Conf(config.path()) +
                           " est ignorée : « systeme.test » n'est pas une adresse http:// ou https:// terminée par "
                           "« / », sans « ? » ni « # ». Valeur utilisée : la clé Adresses/ArchiveMetro de " +
                           Conf(system.path()) + ".\n");
}

namespace {
// "2007<date><suffix>" for each date of a space-separated list.
QStringList Editions(const QString& dates, const QString& suffix) {
    QStringList names;
    for (const QString& date : dates.split(' '))
        names << "2007" + date + suffix;
    return names;
}
} // namespace

// Today is Wednesday 9 May 2007. With --garder 10 the window starts on Monday 30 April; each
// weekend is skipped; the archive lacks one edition (404) and refuses another (403).
TEST_F(Cli, CatchUpFetchesWhatIsMissingOldestFirstThenNothing) {
    TestServer archive;
    std::mutex mutex;
    QStringList asked;
    archive.routes().Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex);
        asked << QString::fromStdString(request.path);
        response.status = request.path == "/20070507_PAR.pdf"                          ? 404
                          : request.path.find("FRNIC_2007_05_02") == std::string::npos ? 200
                                                                                       : 403;
        if (response.status == 200)
            response.set_content(kPdf, "application/pdf");
    });
    UseArchive(archive);
    Write(folder.filePath("20070504_Metro_Paris.pdf"), "%PDF-1.4 our own copy\n%%EOF\n");
    Write(folder.filePath("20070508_20 minutes_Paris.pdf"), "%PDF-1.4 cut short");
    QStringList kept =
        QString("notes.txt|20070420_Metro_Lyon.pdf|20070420_metro_Paris.pdf|20070420_Metro_Paris.pdf.bak|"
                "20070231_Metro_Paris.pdf|x20070420_Metro_Paris.pdf")
            .split('|');
    for (const QString& name : kept + QStringList{"20070420_Metro_Paris.pdf", "20070420_20 minutes_Paris.pdf"})
        Write(folder.filePath(name), kPdf);

    const QStringList args{"--manquantes", "--journal", "20minutes,metro", "--ville",  "Paris", "--ville",
                           "nice",         "--dossier", folder.path(),     "--garder", "10"};
    const Outcome first = StartOn("2007-05-09 08:00:00", args);
    EXPECT_EQ(first.status, 5) << first.err.toStdString(); // the 403
    EXPECT_TRUE(first.out.contains("20 minutes n'est pas distribué à Nice : ignoré.")) << first.out.toStdString();
    EXPECT_TRUE(first.out.contains("Bilan : 22 téléchargée(s)")) << first.out.toStdString();
    EXPECT_TRUE(first.err.contains("Metro Nice du 02/05/2007 : échec. Le serveur a refusé la demande (erreur 403)."))
        << first.err.toStdString();
    kept << Editions("0502 0503 0504 0508 0509 0510", "_20 minutes_Paris.pdf")
         << Editions("0430 0501 0502 0503 0504 0507 0508 0509 0510", "_Metro_Paris.pdf")
         << Editions("0430 0501 0503 0504 0507 0508 0509 0510", "_Metro_Nice.pdf");
    kept.sort();
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);
    EXPECT_TRUE(Read(folder.filePath("20070504_Metro_Paris.pdf")).contains("our own")); // complete: left alone
    EXPECT_EQ(Read(folder.filePath("20070508_20 minutes_Paris.pdf")), kPdf);            // damaged: replaced
    EXPECT_EQ(asked.size(), 24);
    // Several editions come at once, in any order; the report still goes oldest first.
    QStringList days;
    for (const QString& line : first.out.split('\n'))
        if (const auto date = QRegularExpression("du (\\d{2})/(\\d{2})/2007 : [^s]").match(line); date.hasMatch())
            days << date.captured(2) + date.captured(1); // the clean-up's "supprimée" lines come last
    EXPECT_EQ(days.size(), 24);                          // all but the failure, which goes to stderr
    EXPECT_TRUE(std::is_sorted(days.begin(), days.end())) << days.join(' ').toStdString();

    asked.clear();
    const Outcome second = StartOn("2007-05-09 08:05:00", args + QStringList{"--json"});
    EXPECT_EQ(second.status, 5);
    EXPECT_EQ(asked.size(), 2); // only what the archive did not give
    std::map<QString, int> statuses;
    QStringList missing;
    for (const QString& line : second.out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject edition = QJsonDocument::fromJson(line.toUtf8()).object();
        ++statuses[edition["statut"].toString()];
        if (edition["statut"] != "deja_present")
            missing << QStringList{edition["date"].toString(), edition["journal"].toString(),
                                   edition["ville"].toString(), edition["adresse"].toString(),
                                   QDir(edition["fichier"].toString()).dirName()}
                           .join('|');
    }
    const QString at = QString::fromStdString(archive.url(""));
    EXPECT_EQ(missing,
              QStringList({"2007-05-02|Metro|Nice|" + at +
                               "/fr/divers/pdf/2007/05/02/FRNIC_2007_05_02.pdf|20070502_Metro_Nice.pdf",
                           "2007-05-07|20 minutes|Paris|" + at + "/20070507_PAR.pdf|20070507_20 minutes_Paris.pdf"}));
    EXPECT_EQ(statuses, (std::map<QString, int>{{"deja_present", 23}, {"echec", 1}, {"non_publie", 1}}));
}

// Up to four editions of one host at once, each on its own connection; the oldest edition ends
// last, and the --json lines still come oldest first.
TEST_F(Cli, CatchUpFetchesSeveralEditionsAtOnceAndReportsThemInOrder) {
    constexpr int kEditions = 9; // Metro Paris from Monday 30 April to Thursday 10 May
    TestServer archive;
    std::mutex mutex;
    std::condition_variable changed;
    int inFlight = 0, most = 0, done = 0;
    std::set<int> connections;
    archive.routes().Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        std::unique_lock lock(mutex);
        connections.insert(request.remote_port);
        most = std::max(most, ++inFlight);
        changed.notify_all();
        const auto bound = std::chrono::seconds(10);
        changed.wait_for(lock, bound, [&] { return inFlight >= 2 || done + inFlight >= kEditions; });
        if (request.path.find("2007_04_30") != std::string::npos)
            changed.wait_for(lock, bound, [&] { return done >= 1 || done + inFlight >= kEditions; });
        --inFlight;
        ++done;
        changed.notify_all();
        response.set_content(kPdf, "application/pdf");
    });
    UseArchive(archive);
    const Outcome run = StartOn("2007-05-09 08:00:00", {"--manquantes", "--journal", "metro", "--ville", "Paris",
                                                        "--dossier", folder.path(), "--garder", "10", "--json"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    QStringList dates;
    for (const QString& line : run.out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject edition = QJsonDocument::fromJson(line.toUtf8()).object();
        EXPECT_EQ(edition["statut"].toString(), "telecharge") << line.toStdString();
        dates << edition["date"].toString();
    }
    EXPECT_EQ(dates.size(), kEditions) << run.out.toStdString();
    EXPECT_TRUE(std::is_sorted(dates.begin(), dates.end())) << dates.join(' ').toStdString();
    const std::lock_guard lock(mutex);
    EXPECT_GT(most, 1);
    EXPECT_LE(most, 4);
    EXPECT_LE(connections.size(), 4u);
}

// --garder in a folder that can be written but not listed: the clean-up failure is said on
// stderr and as a --json line, and the run ends with status 5.
TEST_F(Cli, CleanUpOfAnUnlistableFolderIsAFailure) {
    TestServer archive;
    archive.routes().Get(".*", [](const httplib::Request&, httplib::Response& response) { response.status = 404; });
    UseArchive(archive);
    QFile::setPermissions(folder.path(), QFile::WriteOwner | QFile::ExeOwner);
    const bool listable = QDir(folder.path()).entryList(QDir::AllEntries).size() > 0;
    if (listable) {
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        GTEST_SKIP() << "a folder without read permission is still listed here (root)";
    }
    const Outcome run = Start({"--manquantes", "--journal", "metro", "--ville", "Paris", "--dossier", folder.path(),
                               "--garder", "3", "--json"});
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(run.status, 5) << run.err.toStdString();
    const QString cause = "Impossible de lire le contenu du dossier " + folder.path() + " (permission refusée)";
    EXPECT_TRUE(run.err.contains("Nettoyage du dossier : échec. " + cause)) << run.err.toStdString();
    const QJsonObject last = QJsonDocument::fromJson(run.out.trimmed().split('\n').constLast().toUtf8()).object();
    EXPECT_EQ(last.value("statut").toString(), "echec") << run.out.toStdString();
    EXPECT_TRUE(last.value("erreur").toString().startsWith(cause)) << run.out.toStdString();
}

// The folder on a file system of its own (a tmpfs in a mount namespace): out of room (no inode
// left once the lock has its file) or read-only, the system's reason is named.
TEST_F(Cli, AFullOrReadOnlyDiskIsNamed) {
    const QString unshare = UnshareAllowing("-rm");
    if (unshare.isEmpty())
        GTEST_SKIP() << "unshare -rm (user and mount namespaces) is not permitted here";
    TestServer archive;
    archive.routes().Get(".*", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(kPdf, "application/pdf");
    });
    UseArchive(archive);
    const std::pair<const char*, QString> cases[] = {
        {R"(mount -t tmpfs -o size=1m,nr_inodes=16 tmpfs "$1" || exit 77
i=0; while touch "$1/f$i" 2>/dev/null; do i=$((i+1)); done
rm "$1/f0")",
         "Échec du téléchargement : Plus de place sur le disque : le fichier n'a pas pu être enregistré dans le "
         "dossier " +
             folder.path() + ".\n"},
        {R"(mount -t tmpfs -o ro tmpfs "$1" || exit 77)",
         "Échec du téléchargement : Impossible de verrouiller le dossier " + folder.path() +
             " avec le fichier .lectoria.lock : le système de fichiers est en lecture seule.\n"}};
    for (const auto& [prepare, said] : cases) {
        const QStringList args{"-rm",
                               "sh",
                               "-c",
                               QString(prepare) + "\nshift\nexec \"$@\"",
                               "sh",
                               folder.path(),
                               LECTORIA_CLI_PATH,
                               "--ville",
                               "Paris",
                               "--date",
                               RecentWeekday().toString(Qt::ISODate),
                               "--dossier",
                               folder.path()};
        const Outcome run = RunCli(env, args, unshare);
        if (run.status == 77)
            GTEST_SKIP() << "mounting a tmpfs is not permitted here";
        EXPECT_EQ(run.status, 5) << run.err.toStdString();
        EXPECT_EQ(run.err, said);
    }
}

// Editions answered with the archive's home page, directly or after a redirect, are not
// published yet: the run succeeds and says so.
TEST_F(Cli, CatchUpCountsAWebPageAsNotPublished) {
    TestServer archive;
    std::atomic<int> hits{0};
    archive.routes().Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        if (request.path == "/accueil")
            return response.set_content("<!doctype html><title>Metro</title>", "text/html");
        if (++hits % 2 == 0)
            return response.set_redirect("/accueil");
        response.set_content("<html><body>Bienvenue</body></html>", "text/html; charset=utf-8");
    });
    UseArchive(archive);
    const Outcome run =
        Start({"--manquantes", "--journal", "metro", "--ville", "Paris", "--dossier", folder.path(), "--json"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, "");
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_GE(lines.size(), 2);
    for (const QString& line : lines)
        EXPECT_EQ(QJsonDocument::fromJson(line.toUtf8()).object()["statut"], "non_publie") << line.toStdString();
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());

    const Outcome said = Start({"--manquantes", "--journal", "metro", "--ville", "Paris", "--dossier", folder.path()});
    EXPECT_EQ(said.status, 0);
    EXPECT_TRUE(said.out.contains("non publiée(s)")) << said.out.toStdString();
    EXPECT_FALSE(said.out.contains("Aucune édition manquante")) << said.out.toStdString(); // they are missing
}

// A first run with no archive set: the setting to fill in is said in full once, not for every edition.
TEST_F(Cli, CatchUpWithNoArchiveSetSaysTheCauseOnce) {
    env.insert("LECTORIA_METRO_URL", "http://pdf.metro.invalid/fr/divers/pdf/");
    const Outcome run = Start(
        {"--manquantes", "--journal", "metro", "--ville", "Paris", "--dossier", folder.path(), "--sans-notification"});
    EXPECT_EQ(run.status, 5);
    const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(run.err.count("Aucune archive n'est configurée"), 1) << run.err.toStdString();
    EXPECT_TRUE(lines[0].contains("Adresses")) << lines[0].toStdString();
    for (const QString& line : lines.mid(1))
        EXPECT_TRUE(line.endsWith(" : échec. Même cause.")) << line.toStdString();
}

// A host that stopped answering is asked only for the editions already under way (up to four at
// once, each twice); every other edition on it is reported failed with the cause, in order,
// without a wait of its own.
TEST_F(Cli, CatchUpStopsAskingASilentHost) {
    TestServer archive;
    std::atomic<int> hits{0};
    archive.routes().Get(".*", [&](const httplib::Request&, httplib::Response& response) {
        ++hits;
        archive.Hold();
        response.set_content(kPdf, "application/pdf");
    });
    UseArchive(archive);
    env.insert("LECTORIA_DELAI_REPONSE", "1");
    env.insert("LECTORIA_PAUSE_REPRISE", "0");
    const Outcome run =
        Start({"--manquantes", "--journal", "metro", "--ville", "Paris", "--dossier", folder.path(), "--json"});
    archive.Release();
    EXPECT_EQ(run.status, 5);
    EXPECT_GE(hits, 2);
    EXPECT_LE(hits, 2 * 4);
    QStringList days;
    for (const QString& line : run.out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject edition = QJsonDocument::fromJson(line.toUtf8()).object();
        days << edition["date"].toString();
        EXPECT_EQ(edition["statut"], "echec");
        EXPECT_TRUE(edition["erreur"].toString().startsWith("Le serveur ne répond plus.")) << line.toStdString();
    }
    EXPECT_GE(days.size(), 2);
    EXPECT_TRUE(std::is_sorted(days.begin(), days.end())) << days.join(' ').toStdString();
}

// Behind a proxy that is down, the editions not yet under way are not each tried again.
TEST_F(Cli, CatchUpStopsAskingThroughADeadProxy) {
    env.insert("http_proxy", QString::fromStdString(TestServer().url(""))); // nobody listens there any more
    env.remove("no_proxy");
    env.remove("NO_PROXY");
    env.insert("LECTORIA_PAUSE_REPRISE", "0");
    const Outcome run =
        Start({"--manquantes", "--journal", "metro", "--ville", "Paris", "--dossier", folder.path(), "--json"});
    EXPECT_EQ(run.status, 5);
    int leftAside = 0;
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QString error = QJsonDocument::fromJson(line.toUtf8()).object()["erreur"].toString();
        EXPECT_TRUE(error.startsWith("Impossible de joindre le proxy 127.0.0.1:")) << line.toStdString();
        leftAside += error.contains("(Édition non demandée : le proxy avait déjà échoué pour le serveur metro.test.)");
    }
    EXPECT_GE(leftAside, lines.size() - 4) << run.out.toStdString(); // at most the four under way were asked
}

// A second run, catch-up or single day, into a folder a first run holds: status 6.
TEST_F(Cli, OneRunAtATimePerFolder) {
    TestServer archive;
    std::promise<void> arrived;
    std::atomic_bool seen = false;
    archive.routes().Get(".*", [&](const httplib::Request&, httplib::Response& response) {
        if (!seen.exchange(true))
            arrived.set_value();
        archive.Hold();
        response.set_content(kPdf, "application/pdf");
    });
    UseArchive(archive);
    Write(folder.filePath(".lectoria.lock"), ""); // left by a run killed as it took the lock
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(LECTORIA_CLI_PATH, {"--manquantes", "--ville", "Lyon", "--dossier", folder.path()});
    ASSERT_EQ(arrived.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
    env.insert("LECTORIA_ATTENTE_VERROU", "0");
    for (const QStringList& second :
         {QStringList{"--manquantes"}, QStringList{"--date", RecentWeekday().toString(Qt::ISODate)}}) {
        const Outcome run = Start(second + QStringList{"--ville", "Lyon", "--dossier", folder.path()});
        EXPECT_EQ(run.status, 6) << second.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("Un autre téléchargement de Lectoria est en cours dans le dossier " +
                                       QDir::toNativeSeparators(folder.path())))
            << run.err.toStdString();
    }
    archive.Release();
    const Outcome firstRun = Finish(first);
    EXPECT_EQ(firstRun.status, 0) << firstRun.err.toStdString();
    EXPECT_FALSE(firstRun.err.contains("lock")) << firstRun.err.toStdString();
    // The folder is free again (Linux removes the lock file, Windows keeps it hidden and unlocked).
    const Outcome after = Start({"--manquantes", "--ville", "Lyon", "--dossier", folder.path()});
    EXPECT_EQ(after.status, 0) << after.err.toStdString();
}

// metro.test resolves nowhere: only the proxy named by http_proxy can bring the edition.
TEST_F(Cli, HttpProxyVariableIsHonoured) {
    TestServer proxy;
    proxy.routes().Get(".*", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(request.path.rfind("http://metro.test/fr/divers/pdf/", 0) == 0 ? kPdf : "",
                             "application/pdf");
    });
    env.insert("http_proxy", QString::fromStdString(proxy.url("")));
    const QDate day = RecentWeekday();
    const Outcome run = Start(
        {"--journal", "metro", "--ville", "Paris", "--date", day.toString(Qt::ISODate), "--dossier", folder.path()});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(Read(folder.filePath(day.toString("yyyyMMdd") + "_Metro_Paris.pdf")), kPdf);
}

// A stand-in systemctl on PATH logs its arguments and answers is-system-running: without systemd a
// crontab line (status 7); with it a user timer, --sans-notification kept, then removed.
TEST_F(Cli, DailyTimerThroughSystemctlOrACrontabLine) {
    QTemporaryDir bin;
    const auto fakeSystemctl = [&](const char* state) {
        Write(bin.filePath("systemctl"),
              QString("#!/bin/sh\necho \"$*\" >> '%1/log'\n[ \"$2\" = is-system-running ] && echo %2\nexit 0\n")
                  .arg(bin.path(), state)
                  .toUtf8());
        QFile(bin.filePath("systemctl")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    env.insert("PATH", bin.path() + ":" + env.value("PATH"));
    const QString units = config.filePath("systemd/user/");
    const QStringList args{"--programmer", "06:30", "--ville", "lyon", "--dossier", folder.path()};
    const QString cli = LECTORIA_CLI_PATH;

    fakeSystemctl("offline");
    const Outcome noSystemd = Start(args);
    EXPECT_EQ(noSystemd.status, 7);
    EXPECT_EQ(noSystemd.out,
              QString("30 6 * * * '%1' '--manquantes' '--silencieux' '--ville' 'Lyon' '--dossier' '%2'\n")
                  .arg(cli, folder.path()));
    EXPECT_FALSE(QDir(units).exists());

    fakeSystemctl("running");
    const QString execStart =
        QString("\nExecStart=\"%1\" \"--manquantes\" \"--silencieux\" \"--ville\" \"Lyon\" \"--dossier\" \"%2\"")
            .arg(cli, folder.path());
    EXPECT_EQ(Start(args).status, 0);
    EXPECT_TRUE(Read(units + "lectoria.timer").contains("[Timer]\nOnCalendar=*-*-* 06:30:00\nPersistent=true\n"));
    EXPECT_TRUE(QString::fromUtf8(Read(units + "lectoria.service")).contains(execStart + "\n"));
    EXPECT_TRUE(QString::fromUtf8(Read(units + "lectoria.service")).contains("\nConditionPathExists=" + cli + "\n"));
    EXPECT_EQ(Start(args + QStringList{"--sans-notification"}).status, 0);
    EXPECT_TRUE(QString::fromUtf8(Read(units + "lectoria.service")).contains(execStart + " \"--sans-notification\"\n"));
    EXPECT_EQ(Start({"--deprogrammer"}).status, 0);
    EXPECT_FALSE(QFile::exists(units + "lectoria.timer") || QFile::exists(units + "lectoria.service"));
    EXPECT_EQ(Read(bin.filePath("log")), "--user is-system-running\n--user is-system-running\n--user daemon-reload\n"
                                         "--user enable --now lectoria.timer\n--user is-system-running\n"
                                         "--user daemon-reload\n--user enable --now lectoria.timer\n"
                                         "--user is-system-running\n--user disable --now lectoria.timer\n"
                                         "--user daemon-reload\n");
}

// A folder name that would add a line to the unit or to the crontab: status 7, nothing written,
// no crontab line offered, systemctl never asked to load anything.
TEST_F(Cli, DailyTimerRefusesAFolderThatWouldAddALine) {
    QTemporaryDir bin;
    Write(bin.filePath("systemctl"),
          QString("#!/bin/sh\necho \"$*\" >> '%1/log'\n[ \"$2\" = is-system-running ] && echo \"$STATE\"\nexit 0\n")
              .arg(bin.path())
              .toUtf8());
    QFile(bin.filePath("systemctl")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    env.insert("PATH", bin.path() + ":" + env.value("PATH"));
    const std::pair<const char*, QString> cases[] = {{"running", "/tmp/x\nExecStartPre=/bin/touch /tmp/pwned"},
                                                     {"offline", "/tmp/y\n* * * * * touch /tmp/pwned #"}};
    for (const auto& [state, dossier] : cases) {
        env.insert("STATE", state);
        const Outcome run = Start({"--programmer", "06:30", "--ville", "lyon", "--dossier", dossier});
        EXPECT_EQ(run.status, 7) << state;
        EXPECT_EQ(run.out, "") << state;
        EXPECT_TRUE(run.err.contains("caractère de contrôle")) << run.err.toStdString();
        EXPECT_FALSE(QDir(config.filePath("systemd")).exists()) << state;
    }
    EXPECT_FALSE(QFile::exists(bin.filePath("log")));
}

// On a machine whose only network is loopback (a network namespace of its own), the archive on
// 127.0.0.1 is still reached, while an archive elsewhere is "no connection" (status 4).
TEST_F(Cli, LoopbackArchiveNeedsNoNetwork) {
    const QString unshare = UnshareAllowing("-rn");
    if (unshare.isEmpty() || QStandardPaths::findExecutable("ip").isEmpty())
        GTEST_SKIP() << "unshare -rn is not permitted here, or ip is missing";
    const QString script = QStringLiteral(R"(set -u
ip link set lo up
mkfifo "$DOSSIER/.pret"
"$ARCHIVE" --port 0 2>"$DOSSIER/.pret" &
archive=$!
exec 3<"$DOSSIER/.pret"
read -r line <&3
port=${line##*:}
port=${port%/}
LECTORIA_METRO_URL="http://127.0.0.1:$port/fr/divers/pdf/" "$CLI" "$@"
echo "boucle=$?"
LECTORIA_METRO_URL="http://192.0.2.1/fr/divers/pdf/" "$CLI" "$@"
echo "ailleurs=$?"
kill "$archive"
)");
    env.insert("ARCHIVE", QStringLiteral(LECTORIA_ARCHIVE_PATH));
    env.insert("CLI", QStringLiteral(LECTORIA_CLI_PATH));
    env.insert("DOSSIER", folder.path());
    env.remove("LECTORIA_CONNEXION");
    const QDate day = RecentWeekday();
    const Outcome run = RunCli(env,
                               {"-rn", "sh", "-c", script, "sh", "--journal", "metro", "--ville", "Paris", "--date",
                                day.toString(Qt::ISODate), "--dossier", folder.path()},
                               unshare);
    EXPECT_TRUE(run.out.endsWith(" réussi.\nboucle=0\nailleurs=4\n")) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(run.err.trimmed(), "Pas de connexion internet disponible");
    EXPECT_TRUE(QFile::exists(folder.filePath(day.toString("yyyyMMdd") + "_Metro_Paris.pdf")));
}

#ifdef LECTORIA_WINDOW_PATH
// The window program where no display can be reached (a text console, ssh): status 1 and one
// French sentence, not Qt's abort. XDG_RUNTIME_DIR is empty so that no Wayland socket is found.
TEST_F(Cli, TheWindowWithoutADisplaySaysSoAndEndsWithStatusOne) {
    QTemporaryDir runtime;
    for (const char* platform : {"", "xcb"}) {
        QProcessEnvironment bare = env;
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
            bare.remove(name);
        bare.insert("XDG_RUNTIME_DIR", runtime.path());
        if (*platform)
            bare.insert("QT_QPA_PLATFORM", platform);
        const Outcome run = RunCli(bare, {}, LECTORIA_WINDOW_PATH);
        EXPECT_EQ(run.status, 1) << platform;
        EXPECT_EQ(run.err, "lectoria : la fenêtre ne peut pas s'ouvrir, aucun affichage graphique n'est accessible "
                           "(variables DISPLAY ou WAYLAND_DISPLAY). Sans affichage, utilisez lectoria-cli.\n");
    }
    // A display named but gone: Qt's reason comes first, then the sentence.
    QProcessEnvironment gone = env;
    gone.remove("WAYLAND_DISPLAY");
    gone.insert("XDG_RUNTIME_DIR", runtime.path());
    gone.insert("QT_QPA_PLATFORM", "xcb");
    gone.insert("DISPLAY", ":9876");
    const Outcome run = RunCli(gone, {}, LECTORIA_WINDOW_PATH);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(":9876")) << run.err.toStdString();
    EXPECT_TRUE(run.err.endsWith("lectoria : la fenêtre ne peut pas s'ouvrir sur l'affichage demandé (voir le message "
                                 "de Qt ci-dessus). Sans affichage, utilisez lectoria-cli.\n"))
        << run.err.toStdString();
}
#endif
