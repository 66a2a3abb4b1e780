// The desktop notification after a catch-up, seen from outside: a private session bus
// (dbus-daemon), a stand-in notification service on it that records each call and answers as
// told, a stand-in xdg-open on PATH that records what it is asked to open, and the real
// lectoria-cli on faketime's Wednesday 9 May 2007 against an archive on 127.0.0.1.
#include "support/fake_time.h"
#include "support/qt_printers.h"
#include "support/test_files.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

using lectoria::testing_support::FixTheClock;
using lectoria::testing_support::Read;
using lectoria::testing_support::TestServer;
using lectoria::testing_support::Write;

namespace {

const char kPdf[] = "%PDF-1.4\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n";
const QString kMetro = "20070509_Metro_Paris.pdf";
const QString kTwenty = "20070509_20 minutes_Paris.pdf";

// Reads one line from a process that has just started, within a bound.
QString FirstLine(QProcess& process) {
    const QDeadlineTimer bound(10000);
    while (!process.canReadLine() && process.waitForReadyRead(static_cast<int>(bound.remainingTime())))
        ;
    return QString::fromUtf8(process.readLine()).trimmed();
}

void Stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(10000);
}

// A session bus of its own, with nothing on it.
struct SessionBus {
    QTemporaryDir dir;
    QProcess daemon;
    QString address;

    SessionBus() {
        Write(dir.filePath("bus.conf"),
              QString("<busconfig><type>session</type><listen>unix:path=%1</listen><auth>EXTERNAL</auth>"
                      "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                      "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                  .arg(dir.filePath("socket"))
                  .toUtf8());
        daemon.start("dbus-daemon", {"--config-file=" + dir.filePath("bus.conf"), "--print-address", "--nofork"});
        address = FirstLine(daemon);
    }
    ~SessionBus() { Stop(daemon); }
};

struct Ended {
    int status = -1;
    QString out;
    QString err;
};

struct Rig {
    TestServer archive;
    QTemporaryDir folder;
    QTemporaryDir work; // the config, the records, the stand-in xdg-open
    SessionBus bus;
    QProcess service;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    // The archive has the 9 May editions only, and refuses Metro's with a 403 when told.
    explicit Rig(bool refuseMetro = false) {
        archive.routes().Get(".*", [refuseMetro](const httplib::Request& request, httplib::Response& response) {
            const bool metro = request.path.find("2007/05/09") != std::string::npos;
            if (metro && refuseMetro)
                response.status = 403;
            else if (metro || request.path.find("20070509") != std::string::npos)
                response.set_content(kPdf, "application/pdf");
            else
                response.status = 404;
        });
        env.insert("XDG_CONFIG_HOME", work.filePath("config"));
        env.insert("LECTORIA_METRO_URL", QString::fromStdString(archive.url("/fr/divers/pdf/")));
        env.insert("LECTORIA_20MINUTES_URL", QString::fromStdString(archive.url("/")));
        env.insert("LC_ALL", "C");
        env.insert("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0");
        // Never an empty address: Qt would then look for the desktop's own bus.
        env.insert("DBUS_SESSION_BUS_ADDRESS",
                   bus.address.isEmpty() ? "unix:path=" + work.filePath("absent") : bus.address);
        env.insert("PATH", work.path() + ":" + env.value("PATH"));
        Write(work.filePath("xdg-open"), QString("#!/bin/sh\nprintf '%s\\n' \"$*\" > '%1/ouvert.tmp'\n"
                                                 "mv '%1/ouvert.tmp' '%1/ouvert'\n")
                                             .arg(work.path())
                                             .toUtf8());
        QFile(work.filePath("xdg-open")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    ~Rig() { Stop(service); }

    void StartService(const QString& answer) {
        ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon: " << bus.daemon.readAllStandardError().toStdString();
        QProcessEnvironment serviceEnv;
        serviceEnv.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
        service.setProcessEnvironment(serviceEnv);
        service.start(LECTORIA_NOTIFICATIONS_PATH, {work.filePath("notifications"), answer});
        ASSERT_EQ(FirstLine(service), "pret") << service.readAllStandardError().toStdString();
    }

    Ended Run(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment onWednesday = env;
        FixTheClock(onWednesday, "2007-05-09 08:00:00");
        process.setProcessEnvironment(onWednesday);
        process.start(LECTORIA_CLI_PATH,
                      QStringList{"--manquantes", "--ville", "Paris", "--dossier", folder.path()} + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QList<QJsonObject> Notifications() const {
        QList<QJsonObject> calls;
        for (const QByteArray& line : Read(work.filePath("notifications")).split('\n'))
            if (!line.isEmpty())
                calls << QJsonDocument::fromJson(line).object();
        return calls;
    }

    // xdg-open runs detached from lectoria-cli and may write its record just after the program's
    // end: the folder is watched until it does, within a bound.
    QString Opened(int boundMs) const {
        QFileSystemWatcher watcher({work.path()});
        QEventLoop loop;
        QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &loop, &QEventLoop::quit);
        const QDeadlineTimer bound(boundMs);
        while (!QFile::exists(work.filePath("ouvert")) && !bound.hasExpired()) {
            QTimer::singleShot(bound.remainingTime(), &loop, &QEventLoop::quit);
            loop.exec();
        }
        return QString::fromUtf8(Read(work.filePath("ouvert"))).trimmed();
    }
};

} // namespace

TEST(CliNotification, TwoEditionsArrivedAndOuvrirOpensTheNewest) {
    Rig rig;
    rig.StartService("cliquer");
    rig.env.insert("LECTORIA_ATTENTE_NOTIFICATION", "600");
    const Ended run = rig.Run({"--journal", "tous", "--silencieux"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out + run.err, "");
    const QList<QJsonObject> calls = rig.Notifications();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0]["app"], "Lectoria");
    EXPECT_EQ(calls[0]["icone"], "fr.orvane.Lectoria");
    EXPECT_EQ(calls[0]["entree"], "fr.orvane.Lectoria");
    EXPECT_EQ(calls[0]["resume"], "2 éditions arrivées");
    EXPECT_EQ(calls[0]["corps"], "20 minutes Paris du 09/05/2007, Metro Paris du 09/05/2007");
    EXPECT_EQ(calls[0]["actions"].toArray(), QJsonArray({"default", "Ouvrir", "ouvrir", "Ouvrir"}));
    EXPECT_EQ(rig.Opened(10000), rig.folder.filePath(kMetro));
}

// Each case ends on its own (the test's bound is far below the 600 s wait) and opens nothing.
TEST(CliNotification, NoneOrNoOpeningWhenNothingAsksForIt) {
    struct Case {
        const char* name;
        QStringList args;
        const char* service; // nullptr: no service on the bus
        bool bus = true;
        bool refuseMetro = false;
        bool present = false;
        int status = 0;
        const char* summary = nullptr; // nullptr: no notification
        const char* body = nullptr;
    };
    const Case cases[] = {
        {"rien de nouveau", {"--journal", "tous"}, "cliquer", true, false, true, 0},
        {"pas de bus", {"--journal", "tous"}, nullptr, false},
        {"bus sans service", {"--journal", "tous"}, nullptr},
        {"--sans-notification", {"--journal", "tous", "--sans-notification"}, "cliquer"},
        {"fermée sans clic",
         {"--journal", "tous"},
         "fermer",
         true,
         false,
         false,
         0,
         "2 éditions arrivées",
         "20 minutes Paris du 09/05/2007, Metro Paris du 09/05/2007"},
        {"échec",
         {"--journal", "metro", "--json"},
         "cliquer",
         true,
         true,
         false,
         5,
         "Échec du téléchargement",
         "Metro Paris du 09/05/2007 : échec. Le serveur a refusé la demande (erreur 403)."},
        {"échec et arrivée",
         {"--journal", "tous"},
         "rien",
         true,
         true,
         false,
         5,
         "1 édition arrivée, 1 échec",
         "20 minutes Paris du 09/05/2007\nMetro Paris du 09/05/2007 : échec. Le serveur a refusé la demande "
         "(erreur 403)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.refuseMetro);
        if (c.service)
            rig.StartService(c.service);
        if (!c.bus)
            rig.env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + rig.work.filePath("absent"));
        if (c.present) {
            Write(rig.folder.filePath(kMetro), kPdf);
            Write(rig.folder.filePath(kTwenty), kPdf);
        }
        // "rien" leaves the notification up: the wait's own bound ends the run.
        rig.env.insert("LECTORIA_ATTENTE_NOTIFICATION", c.service == QString("rien") ? "1" : "600");
        const Ended run = rig.Run(c.args);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        const QList<QJsonObject> calls = rig.Notifications();
        ASSERT_EQ(calls.size(), c.summary ? 1 : 0);
        if (c.summary) {
            EXPECT_EQ(calls[0]["resume"], QString(c.summary));
            EXPECT_EQ(calls[0]["corps"], QString(c.body));
        }
        EXPECT_EQ(rig.Opened(0), "");
        if (c.status == 0) { // not a word about the bus, whatever it holds
            EXPECT_EQ(run.err, "");
        }
    }
}

// The daily run notifies unless told not to when it was set up.
TEST(CliNotification, TheDailyRunKeepsSansNotification) {
    Rig rig;
    Write(rig.work.filePath("systemctl"), "#!/bin/sh\n[ \"$2\" = is-system-running ] && echo running\nexit 0\n");
    QFile(rig.work.filePath("systemctl")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QString service = rig.work.filePath("config/systemd/user/lectoria.service");
    for (const bool silent : {false, true}) {
        QProcess process;
        process.setProcessEnvironment(rig.env);
        process.start(LECTORIA_CLI_PATH,
                      QStringList{"--programmer", "06:30", "--ville", "Paris", "--dossier", rig.folder.path()} +
                          (silent ? QStringList{"--sans-notification"} : QStringList{}));
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        const QString end = silent ? " \"--sans-notification\"\n" : "\n";
        EXPECT_TRUE(QString::fromUtf8(Read(service)).contains("\"--dossier\" \"" + rig.folder.path() + "\"" + end))
            << Read(service).toStdString();
    }
}
