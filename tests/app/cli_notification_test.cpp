// The desktop notification after a catch-up, seen from outside: a private session bus
// (dbus-daemon), a stand-in notification service on it that records each call and answers as
// told, a stand-in xdg-open on PATH that records what it is asked to open, and the real
// lectoria-cli against an archive on 127.0.0.1 that has the editions of the latest weekday only.
// The clock is the machine's: under libfaketime, the detached xdg-open sometimes failed to start
// (the library's shared semaphore, made by lectoria-cli, gone with it).
#include "cli_run.h"
#include "support/qt_printers.h"
#include "support/test_files.h"
#include "support/test_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

using namespace lectoria::testing_support;

namespace {

// Reads one line from a process that has just started, within a bound.
QString FirstLine(QProcess& process) {
    const QDeadlineTimer bound(10000);
    while (!process.canReadLine() && process.waitForReadyRead(static_cast<int>(bound.remainingTime())))
        ;
    return QString::fromUtf8(process.readLine()).trimmed();
}

void Stop(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(10000);
    }
}

struct Rig {
    TestServer archive;
    QTemporaryDir folder;
    QTemporaryDir work; // the bus, the config, the records, the stand-in xdg-open
    QProcess bus;
    QString busAddress;
    QProcess service;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    // The archive has the editions of `day` only, and refuses Metro's with a 403 when told.
    Rig(const QDate& day, bool refuseMetro) {
        const std::string metroPath = day.toString("yyyy/MM/dd").toStdString();
        const std::string twentyPath = day.toString("yyyyMMdd").toStdString();
        archive.routes().Get(".*", [=](const httplib::Request& request, httplib::Response& response) {
            const bool metro = request.path.find(metroPath) != std::string::npos;
            if (metro && refuseMetro)
                response.status = 403;
            else if (metro || request.path.find(twentyPath) != std::string::npos)
                response.set_content(kPdf, "application/pdf");
            else
                response.status = 404;
        });
        Write(work.filePath("bus.conf"),
              QString("<busconfig><type>session</type><listen>unix:path=%1</listen><auth>EXTERNAL</auth>"
                      "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                      "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                  .arg(work.filePath("socket"))
                  .toUtf8());
        bus.start("dbus-daemon", {"--config-file=" + work.filePath("bus.conf"), "--print-address", "--nofork"});
        busAddress = FirstLine(bus);
        env.insert("XDG_CONFIG_HOME", work.filePath("config"));
        env.insert("LECTORIA_METRO_URL", QString::fromStdString(archive.url("/fr/divers/pdf/")));
        env.insert("LECTORIA_20MINUTES_URL", QString::fromStdString(archive.url("/")));
        env.insert("LC_ALL", "C");
        env.insert("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0");
        // Never an empty address: Qt would then look for the desktop's own bus.
        env.insert("DBUS_SESSION_BUS_ADDRESS",
                   busAddress.isEmpty() ? "unix:path=" + work.filePath("absent") : busAddress);
        env.insert("PATH", work.path() + ":" + env.value("PATH"));
        Write(work.filePath("xdg-open"), QString("#!/bin/sh\nprintf '%s\\n' \"$*\" > '%1/ouvert.tmp'\n"
                                                 "mv '%1/ouvert.tmp' '%1/ouvert'\n")
                                             .arg(work.path())
                                             .toUtf8());
        QFile(work.filePath("xdg-open")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    ~Rig() {
        Stop(service);
        Stop(bus);
    }

    void StartService(const QString& answer) {
        ASSERT_FALSE(busAddress.isEmpty()) << "dbus-daemon: " << bus.readAllStandardError().toStdString();
        QProcessEnvironment serviceEnv;
        serviceEnv.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        service.setProcessEnvironment(serviceEnv);
        service.start(LECTORIA_NOTIFICATIONS_PATH, {work.filePath("notifications"), answer});
        ASSERT_EQ(FirstLine(service), "pret") << service.readAllStandardError().toStdString();
    }

    Outcome Run(const QStringList& arguments) {
        return RunCli(env, QStringList{"--manquantes", "--ville", "Paris", "--dossier", folder.path()} + arguments);
    }

    QList<QJsonObject> Notifications() const {
        QList<QJsonObject> calls;
        for (const QByteArray& line : Read(work.filePath("notifications")).split('\n'))
            if (!line.isEmpty())
                calls << QJsonDocument::fromJson(line).object();
        return calls;
    }

    // xdg-open runs detached and may write its record just after the program's end: the folder
    // is watched until it does, within a bound.
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

// Only « Ouvrir » opens anything; every other case ends on its own, far below the 600 s wait,
// and a run that succeeds says nothing about the bus, whatever it holds.
TEST(CliNotification, OneNoticeAfterACatchUpAndOuvrirOpensTheNewest) {
    const QDate day = RecentWeekday();
    const QString shown = day.toString("dd/MM/yyyy");
    const QString metroFile = day.toString("yyyyMMdd") + "_Metro_Paris.pdf";
    const QString arrived = "20 minutes Paris du " + shown + ", Metro Paris du " + shown;
    const QString refused = "Metro Paris du " + shown + " : échec. Le serveur a refusé la demande (erreur 403).";
    enum { kOpens = 1, kRefuseMetro = 2, kPresent = 4, kNoBus = 8, kNoXdgOpen = 16 }; // kOpens: « Ouvrir » chosen
    struct Case {
        const char* name;
        const char* service; // nullptr: no service on the bus
        const char* args;
        int status = 0;
        QString summary = {}; // empty: no notification
        QString body = {};
        int flags = 0;
    };
    const Case cases[] = {
        {"ouvrir", "cliquer", "--journal tous --silencieux", 0, "2 éditions arrivées", arrived, kOpens},
        // The close handed over before the click it followed: the click still counts.
        {"clic reçu après la fermeture", "cliquer-tard", "--journal tous --silencieux", 0, "2 éditions arrivées",
         arrived, kOpens},
        {"rien de nouveau", "cliquer", "--journal tous", 0, "", "", kPresent},
        {"pas de bus", nullptr, "--journal tous", 0, "", "", kNoBus},
        {"bus sans service", nullptr, "--journal tous"},
        {"--sans-notification", "cliquer", "--journal tous --sans-notification"},
        {"fermée sans clic", "fermer", "--journal tous", 0, "2 éditions arrivées", arrived},
        // Without xdg-open (xdg-utils is only recommended) « Ouvrir » would do nothing: not offered.
        {"sans xdg-open", "cliquer", "--journal tous", 0, "2 éditions arrivées", arrived, kNoXdgOpen},
        {"échec", "cliquer", "--journal metro --json", 5, "Échec du téléchargement", refused, kRefuseMetro},
        // "rien" leaves the notification up: the wait's own bound ends the run.
        {"échec et arrivée", "rien", "--journal tous", 5, "1 édition arrivée, 1 échec",
         "20 minutes Paris du " + shown + "\n" + refused, kRefuseMetro},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(day, c.flags & kRefuseMetro);
        if (c.service)
            rig.StartService(c.service);
        if (c.flags & kNoXdgOpen)
            rig.env.insert("PATH", rig.work.filePath("vide"));
        if (c.flags & kNoBus)
            rig.env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + rig.work.filePath("absent"));
        if (c.flags & kPresent) {
            Write(rig.folder.filePath(metroFile), kPdf);
            Write(rig.folder.filePath(day.toString("yyyyMMdd") + "_20 minutes_Paris.pdf"), kPdf);
        }
        rig.env.insert("LECTORIA_ATTENTE_NOTIFICATION", c.service == QString("rien") ? "1" : "600");
        const Outcome run = rig.Run(QString(c.args).split(' '));
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        const QList<QJsonObject> calls = rig.Notifications();
        ASSERT_EQ(calls.size(), c.summary.isEmpty() ? 0 : 1);
        if (!c.summary.isEmpty()) {
            EXPECT_EQ(calls[0]["resume"], c.summary);
            EXPECT_EQ(calls[0]["corps"], c.body);
            EXPECT_EQ(calls[0]["app"], "Lectoria");
            EXPECT_EQ(calls[0]["icone"], "fr.orvane.Lectoria");
            EXPECT_EQ(calls[0]["entree"], "fr.orvane.Lectoria");
        }
        if (c.flags & kNoXdgOpen) {
            EXPECT_EQ(calls[0]["actions"].toArray(), QJsonArray());
            EXPECT_EQ(calls[0]["delai"], -1);
        }
        if (c.flags & kOpens) {
            EXPECT_EQ(calls[0]["actions"].toArray(), QJsonArray({"default", "Ouvrir", "ouvrir", "Ouvrir"}));
            EXPECT_EQ(calls[0]["delai"], 600000); // up as long as the run waits for the click
            EXPECT_EQ(run.out, "");
        }
        EXPECT_EQ(rig.Opened(c.flags & kOpens ? 10000 : 0), c.flags & kOpens ? rig.folder.filePath(metroFile) : "");
        if (c.status == 0) {
            EXPECT_EQ(run.err, "");
        }
    }
}
