// lectoria-cli as a real process: its exit status, stdout, stderr and the folder afterwards.
#include "support/fake_time.h"
#include "support/qt_printers.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <future>
#include <map>

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// The last weekday on or before today: always inside both papers' windows.
QDate RecentWeekday() {
    QDate day = QDate::currentDate();
    while (day.dayOfWeek() > 5)
        day = day.addDays(-1);
    return day;
}

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

    Outcome Start(const QStringList& arguments, const QString& program = QStringLiteral(LECTORIA_CLI_PATH)) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // The program run with "today" fixed by libfaketime.
    Outcome StartOn(const QString& when, const QStringList& arguments) {
        const QProcessEnvironment plain = env;
        env.insert("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0");
        lectoria::testing_support::FixTheClock(env, when);
        const Outcome outcome = Start(arguments);
        env = plain;
        return outcome;
    }

    void UseArchive(const lectoria::testing_support::TestServer& server) {
        env.insert("LECTORIA_METRO_URL", QString::fromStdString(server.url("/fr/divers/pdf/")));
        env.insert("LECTORIA_20MINUTES_URL", QString::fromStdString(server.url("/")));
    }

    static QString Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    static void Put(const QString& path, const QByteArray& contents) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size()) << path.toStdString();
    }
    void Write(const QString& name, const QByteArray& contents) { Put(folder.filePath(name), contents); }
};

} // namespace

TEST_F(Cli, VersionAndHelp) {
    EXPECT_EQ(Start({"--version"}).out, "Lectoria 1.1.8\n");
    EXPECT_TRUE(Start({"--help"}).out.contains("Codes de sortie : 0 réussite"));
}

TEST_F(Cli, BadCommandLinesNameWhatIsAccepted) {
    struct Case {
        QStringList args;
        const char* says;
    };
    const Case cases[] = {{{"--journal", "libé"}, "Journaux acceptés"},
                          {{"--ville", "Brest"}, "Villes acceptées : Bordeaux, Lille"},
                          {{"--date", "2007-02-30"}, "AAAA-MM-JJ"},
                          {{"--date", "03/05/2007"}, "AAAA-MM-JJ"},
                          {{"--inconnue"}, "inconnue"},
                          {{"en-trop"}, "Argument inattendu"}};
    for (const Case& c : cases) {
        const Outcome run = Start(c.args);
        EXPECT_EQ(run.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.says))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

// On Thursday 10 May 2007.
TEST_F(Cli, RefusalsFollowTheOrderOfTheChecks) {
    const QString today = "2007-05-10";
    struct Case {
        QStringList args;
        QString err;
    };
    const Case cases[] = {
        {{"--date", "2007-05-05"}, "Pas d'édition le samedi.\nVeuillez sélectionner une autre date.\n"},
        {{"--date", "2000-01-03", "--ville", "Lyon"},
         "Impossible de télécharger une édition de 20 minutes datant de plus de 7 jours.\n"
         "Veuillez sélectionner une date plus proche.\n"},
        {{"--date", today}, "Veuillez sélectionner une ville.\n"},
        {{"--date", today, "--journal", "metro", "--ville", "Nantes", "--dossier", "/nulle/part"},
         "Journal non distribué dans la ville sélectionnée\n"},
        {{"--date", today, "--ville", "Lyon", "--dossier", folder.path() + "/absent"},
         "Veuillez indiquer un dossier d'enregistrement valide\n"},
        {{"--date", today, "--ville", "Lyon"}, "Veuillez indiquer un dossier d'enregistrement valide\n"},
    };
    for (const Case& c : cases) {
        const Outcome run = StartOn("2007-05-10 12:00:00", c.args + QStringList{"--adresse"});
        EXPECT_EQ(run.status, 3) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, c.err) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST_F(Cli, StoredCityAndFolderAreDefaultsAndAreNeverWritten) {
    const QString stored = QString("[General]\nVille=3\nChemin=%1\n").arg(folder.path());
    ASSERT_TRUE(QDir().mkpath(config.filePath("Orvane")));
    Put(config.filePath("Orvane/Lectoria.conf"), stored.toUtf8());
    const QDate day = RecentWeekday();
    const Outcome run = Start({"--date", day.toString(Qt::ISODate), "--adresse"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith(folder.path() + "/" + day.toString("yyyyMMdd") + "_20 minutes_Lyon.pdf\n"))
        << run.out.toStdString();
    EXPECT_EQ(Read(config.filePath("Orvane/Lectoria.conf")), stored);
}

// An administrator's archive in the system-wide settings, no variable: the command line takes it,
// after saying why it passed over the user's own faulty one.
TEST_F(Cli, ArchiveFromTheSystemWideSettings) {
    QTemporaryDir system;
    ASSERT_TRUE(QDir().mkpath(system.filePath("Orvane")) && QDir().mkpath(config.filePath("Orvane")));
    Put(system.filePath("Orvane/Lectoria.conf"), "[Adresses]\nArchiveMetro=http://systeme.test/fr/divers/pdf/\n");
    Put(config.filePath("Orvane/Lectoria.conf"), "[Adresses]\nArchiveMetro=systeme.test\n");
    env.insert("XDG_CONFIG_DIRS", system.path());
    env.remove("LECTORIA_METRO_URL");
    const Outcome run = StartOn("2007-05-10 12:00:00", {"--journal", "metro", "--ville", "Paris", "--date",
                                                        "2007-05-03", "--dossier", folder.path(), "--adresse"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("http://systeme.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf\n"))
        << run.out.toStdString();
    EXPECT_EQ(run.err, "La clé Adresses/ArchiveMetro de " + config.filePath("Orvane/Lectoria.conf") +
                           " est ignorée : « systeme.test » n'est pas une adresse http:// ou https:// terminée par "
                           "« / », sans « ? » ni « # ». Valeur utilisée : la clé Adresses/ArchiveMetro de " +
                           system.filePath("Orvane/Lectoria.conf") + ".\n");
}

// "Today" fixed by faketime: --adresse prints the edition's address and file, and downloads nothing;
// three weeks later the same day is too old for Metro.
TEST_F(Cli, AddressOnAFixedClock) {
    const QStringList args{"--journal",  "metro",     "--ville",     "paris",    "--date",
                           "2007-05-03", "--dossier", folder.path(), "--adresse"};
    const Outcome run = StartOn("2007-05-10 12:00:00", args);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "http://metro.test/fr/divers/pdf/2007/05/03/FRPAR_2007_05_03.pdf\n" + folder.path() +
                           "/20070503_Metro_Paris.pdf\n");
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
    const Outcome late = StartOn("2007-05-25 12:00:00", args);
    EXPECT_EQ(late.status, 3);
    EXPECT_EQ(late.err, "Impossible de télécharger une édition de Metro datant de plus de 14 jours.\n"
                        "Veuillez sélectionner une date plus proche.\n");
}

namespace {
const char kPdf[] = "%PDF-1.4\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n";

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
    lectoria::testing_support::TestServer archive;
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
    Write("20070504_Metro_Paris.pdf", "%PDF-1.4 our own copy\n%%EOF\n");
    Write("20070508_20 minutes_Paris.pdf", "%PDF-1.4 cut short");
    QStringList kept =
        QString("notes.txt|20070420_Metro_Lyon.pdf|20070420_metro_Paris.pdf|20070420_Metro_Paris.pdf.bak|"
                "20070231_Metro_Paris.pdf|x20070420_Metro_Paris.pdf")
            .split('|');
    for (const QString& name : kept + QStringList{"20070420_Metro_Paris.pdf", "20070420_20 minutes_Paris.pdf"})
        Write(name, kPdf);

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
    QStringList days;
    for (const QString& path : asked)
        days << QRegularExpression("(\\d{4})/?(\\d{2})/?(\\d{2})").match(path).capturedTexts().mid(1).join("");
    EXPECT_EQ(asked.size(), 24);
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
    EXPECT_EQ(missing,
              QStringList({"2007-05-02|Metro|Nice|" +
                               QString::fromStdString(archive.url(
                                   "/fr/divers/pdf/2007/05/02/FRNIC_2007_05_02.pdf|20070502_Metro_Nice.pdf")),
                           "2007-05-07|20 minutes|Paris|" + QString::fromStdString(archive.url(
                                                                "/20070507_PAR.pdf|20070507_20 minutes_Paris.pdf"))}));
    EXPECT_EQ(statuses, (std::map<QString, int>{{"deja_present", 23}, {"echec", 1}, {"non_publie", 1}}));
}

TEST_F(Cli, OneRunAtATimePerFolder) {
    lectoria::testing_support::TestServer archive;
    std::promise<void> arrived;
    std::atomic_bool seen = false;
    archive.routes().Get(".*", [&](const httplib::Request&, httplib::Response& response) {
        if (!seen.exchange(true))
            arrived.set_value();
        archive.Hold();
        response.set_content(kPdf, "application/pdf");
    });
    UseArchive(archive);
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(LECTORIA_CLI_PATH, {"--manquantes", "--ville", "Lyon", "--dossier", folder.path()});
    ASSERT_EQ(arrived.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
    env.insert("LECTORIA_ATTENTE_VERROU", "0");
    for (const QStringList& second :
         {QStringList{"--manquantes"}, QStringList{"--date", RecentWeekday().toString(Qt::ISODate)}}) {
        const Outcome run = Start(second + QStringList{"--ville", "Lyon", "--dossier", folder.path()});
        EXPECT_EQ(run.status, 6) << second.join(' ').toStdString();
        EXPECT_TRUE(
            run.err.startsWith("Un autre téléchargement de Lectoria est en cours dans le dossier " + folder.path()))
            << run.err.toStdString();
    }
    archive.Release();
    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
}

// metro.test resolves nowhere: only the proxy named by http_proxy can bring the edition.
TEST_F(Cli, HttpProxyVariableIsHonoured) {
    lectoria::testing_support::TestServer proxy;
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

// A stand-in systemctl on PATH logs its arguments and answers is-system-running.
TEST_F(Cli, DailyTimerThroughSystemctlOrACrontabLine) {
    QTemporaryDir bin;
    const auto fakeSystemctl = [&](const char* state) {
        QFile script(bin.filePath("systemctl"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QString("#!/bin/sh\necho \"$*\" >> '%1/log'\n[ \"$2\" = is-system-running ] && echo %2\nexit 0\n")
                         .arg(bin.path(), state)
                         .toUtf8());
        script.setPermissions(script.permissions() | QFile::ExeOwner);
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
    EXPECT_EQ(Start(args).status, 0);
    EXPECT_TRUE(Read(units + "lectoria.timer").contains("[Timer]\nOnCalendar=*-*-* 06:30:00\nPersistent=true\n"));
    EXPECT_TRUE(
        Read(units + "lectoria.service")
            .contains(
                QString(
                    "\nExecStart=\"%1\" \"--manquantes\" \"--silencieux\" \"--ville\" \"Lyon\" \"--dossier\" \"%2\"\n")
                    .arg(cli, folder.path())));
    EXPECT_EQ(Start({"--deprogrammer"}).status, 0);
    EXPECT_FALSE(QFile::exists(units + "lectoria.timer") || QFile::exists(units + "lectoria.service"));
    EXPECT_EQ(Read(bin.filePath("log")), "--user is-system-running\n--user is-system-running\n--user daemon-reload\n"
                                         "--user enable --now lectoria.timer\n--user is-system-running\n"
                                         "--user disable --now lectoria.timer\n--user daemon-reload\n");
}

// On a machine whose only network is loopback, the sample archive on 127.0.0.1 is still reached,
// while an archive elsewhere is reported as "no connection" (status 4). Both run in a network
// namespace of their own, with the archive started inside it.
TEST_F(Cli, LoopbackArchiveNeedsNoNetwork) {
    const QString unshare = QStandardPaths::findExecutable("unshare");
    QProcess probe;
    probe.start(unshare, {"-rn", "true"});
    if (unshare.isEmpty() || QStandardPaths::findExecutable("ip").isEmpty() || !probe.waitForFinished(10000) ||
        probe.exitCode() != 0)
        GTEST_SKIP()
            << "unshare -rn is not permitted here, or ip is missing: the loopback-only check needs a network namespace";
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
    const Outcome run = Start({"-rn", "sh", "-c", script, "sh", "--journal", "metro", "--ville", "Paris", "--date",
                               day.toString(Qt::ISODate), "--dossier", folder.path()},
                              unshare);
    EXPECT_TRUE(run.out.endsWith(" réussi.\nboucle=0\nailleurs=4\n")) << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(run.err.trimmed(), "Pas de connexion internet disponible");
    EXPECT_TRUE(QFile::exists(folder.filePath(day.toString("yyyyMMdd") + "_Metro_Paris.pdf")));
}
