// Faults met by a real lectoria-cli process: what it says, its exit status, and that no earlier
// file of the same name is lost nor any "<target>.part" left behind.
#include "support/qt_printers.h"
#include "support/test_answers.h"
#include "support/test_files.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <thread>

using lectoria::testing_support::Read;
using lectoria::testing_support::ServeCut;
using lectoria::testing_support::TestServer;
using lectoria::testing_support::Write;

namespace {

const std::string kPdf = "%PDF-1.4\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n";
const QByteArray kEarlier("%PDF-1.4 earlier edition %%EOF");

QDate RecentWeekday() {
    QDate day = QDate::currentDate();
    while (day.dayOfWeek() > 5)
        day = day.addDays(-1);
    return day;
}

struct Ended {
    int status = -1;
    QString out;
    QString err;
};

// One archive server, one folder holding an earlier copy of the edition, one program run.
struct Rig {
    TestServer server;
    QTemporaryDir base;
    QTemporaryDir config;
    QString folder = base.path();
    QString name = RecentWeekday().toString("yyyyMMdd") + "_Metro_Paris.pdf";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::atomic<int> hits{0};

    Rig() {
        for (const char* proxy : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
            env.remove(proxy);
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("LECTORIA_METRO_URL", QString::fromStdString(server.url("/m/")));
        env.insert("LECTORIA_CONNEXION", "presente");
        env.insert("LECTORIA_DELAI_REPONSE", "5");
        env.insert("LECTORIA_PAUSE_REPRISE", "0");
        env.insert("LC_ALL", "C");
        Write(Target(), kEarlier);
    }
    QString Target() const { return folder + "/" + name; }
    void MoveTo(const QString& path) {
        folder = path;
        ASSERT_TRUE(QDir().mkpath(folder));
        Write(Target(), kEarlier);
    }
    void Route(std::function<void(Rig&, httplib::Response&)> answer) {
        server.routes().Get(".*", [this, answer](const httplib::Request&, httplib::Response& r) { answer(*this, r); });
    }
    QProcess* Start(QProcess& process) {
        process.setProcessEnvironment(env);
        process.start(LECTORIA_CLI_PATH, {"--journal", "metro", "--ville", "Paris", "--date",
                                          RecentWeekday().toString(Qt::ISODate), "--dossier", folder});
        return &process;
    }
    Ended Finish(QProcess& process) {
        EXPECT_TRUE(process.waitForFinished(60000));
        server.Release();
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    Ended Download() {
        QProcess process;
        return Finish(*Start(process));
    }
    QStringList Leftovers() const { return QDir(folder).entryList({"*.part"}, QDir::Files | QDir::Hidden); }
};

void Serve(Rig&, httplib::Response& r) {
    r.set_content(kPdf, "application/pdf");
}

// What the folder holds afterwards.
enum class After { Replaced, Kept, IsFolder, FolderGone };

struct Fault {
    const char* name;
    std::function<void(Rig&)> setUp;
    int status;
    const char* says; // the start of the failure's sentence; none for a success
    After after;
};

void PrintTo(const Fault& fault, std::ostream* os) {
    *os << fault.name;
}

const Fault kFaults[] = {
    // A name longer than DNS allows (263 characters): the resolver refuses it without sending a
    // query, so the failure is the same everywhere and nothing leaves the machine.
    {"UnresolvableHost",
     [](Rig& r) {
         const QString label(63, 'a');
         r.env.insert("LECTORIA_METRO_URL", "http://" + QStringList(4, label).join('.') + ".invalid/");
     },
     5, "Impossible de joindre le serveur.", After::Kept},
    {"ConnectionRefused",
     [](Rig& r) {
         const std::string closed = TestServer().url("/"); // its port is free again once it is gone
         r.env.insert("LECTORIA_METRO_URL", QString::fromStdString(closed));
     },
     5, "Impossible de joindre le serveur.", After::Kept},
    {"NotFound", [](Rig& r) { r.Route([](Rig&, auto& a) { a.status = 404; }); }, 5,
     "Édition introuvable sur le serveur (erreur 404).", After::Kept},
    {"CutAfterTheHeaders", [](Rig& r) { r.Route([](Rig&, auto& a) { ServeCut(a, kPdf, kPdf.size(), 0); }); }, 5,
     "Le fichier reçu est incomplet.", After::Kept},
    {"CutMidBody", [](Rig& r) { r.Route([](Rig&, auto& a) { ServeCut(a, kPdf, kPdf.size(), kPdf.size() / 2); }); }, 5,
     "Le fichier reçu est incomplet.", After::Kept},
    {"Stall",
     [](Rig& r) {
         r.env.insert("LECTORIA_DELAI_REPONSE", "1");
         r.Route([](Rig& rig, auto& a) {
             rig.server.Hold();
             Serve(rig, a);
         });
     },
     5, "Le serveur ne répond plus.", After::Kept},
    // One byte a second keeps a 3 s time-out from firing although the whole takes longer.
    {"DribbleWithinTheTimeOut",
     [](Rig& r) {
         r.env.insert("LECTORIA_DELAI_REPONSE", "3");
         r.Route([](Rig&, auto& a) {
             a.set_content_provider(kPdf.size(), "application/pdf", [](size_t offset, size_t, httplib::DataSink& sink) {
                 const size_t head = kPdf.size() - 4;
                 if (offset >= head) // the pace is the fault under test, not a wait of the test
                     std::this_thread::sleep_for(std::chrono::seconds(1));
                 return sink.write(kPdf.data() + offset, offset < head ? head : 1);
             });
         });
     },
     0, nullptr, After::Replaced},
    {"LongerThanAnnounced",
     [](Rig& r) { r.Route([](Rig&, auto& a) { ServeCut(a, kPdf, kPdf.size() - 10, kPdf.size()); }); }, 5,
     "Le fichier reçu est incomplet.", After::Kept},
    {"ShorterThanAnnounced",
     [](Rig& r) { r.Route([](Rig&, auto& a) { ServeCut(a, kPdf, kPdf.size() + 10, kPdf.size()); }); }, 5,
     "Le fichier reçu est incomplet.", After::Kept},
    {"ChunkedWithoutEof",
     [](Rig& r) {
         r.Route([](Rig&, auto& a) {
             a.set_chunked_content_provider("application/pdf", [](size_t, httplib::DataSink& sink) {
                 sink.write(kPdf.data(), kPdf.size() - 7);
                 sink.done();
                 return true;
             });
         });
     },
     5, "Le fichier reçu est incomplet.", After::Kept},
    {"Gzipped",
     [](Rig& r) {
         r.Route([](Rig&, auto& a) {
             a.set_header("Content-Encoding", "gzip");
             static const char gzipped[] = "\x1f\x8b\x08\x00 compressed %PDF-1.4";
             a.set_content(std::string(gzipped, sizeof gzipped - 1), "application/pdf");
         });
     },
     5, "Le serveur n'a pas envoyé un fichier PDF.", After::Kept},
    {"RedirectsOfEveryKind",
     [](Rig& r) {
         r.server.routes().Get(".*", [&r](const httplib::Request& request, httplib::Response& a) {
             // The hop is read from the address, not counted: a client may send a request twice.
             const bool hopped = request.path.rfind("/hop", 0) == 0;
             const int hop = hopped ? std::clamp(std::atoi(request.path.c_str() + 4), 0, 4) : 0;
             if (hop == 4)
                 return Serve(r, a);
             a.set_redirect("/hop" + std::to_string(hop + 1), std::array{301, 302, 307, 308}[hop]);
         });
     },
     0, nullptr, After::Replaced},
    {"RedirectToFile", [](Rig& r) { r.Route([](Rig&, auto& a) { a.set_redirect("file:///etc/passwd"); }); }, 5,
     "Adresse refusée : seules les adresses http:// et https:// sont suivies.", After::Kept},
    {"RedirectToFtp", [](Rig& r) { r.Route([](Rig&, auto& a) { a.set_redirect("ftp://127.0.0.1/e.pdf"); }); }, 5,
     "Adresse refusée : seules les adresses http:// et https:// sont suivies.", After::Kept},
    // More than any disk holds: refused on the headers, before a byte is written.
    {"LargerThanTheFreeSpace",
     [](Rig& r) {
         r.Route([](Rig&, auto& a) {
             a.set_content_provider(size_t{1} << 62, "application/pdf", [](size_t, size_t, httplib::DataSink& sink) {
                 return sink.write(kPdf.data(), kPdf.size());
             });
         });
     },
     5, "Plus de place sur le disque.", After::Kept},
    {"FolderRemovedDuringTheTransfer",
     [](Rig& r) {
         r.Route([](Rig& rig, auto& a) {
             a.set_content_provider(kPdf.size(), "application/pdf",
                                    [&rig](size_t offset, size_t, httplib::DataSink& sink) {
                                        if (offset > 0) {
                                            // Once the first bytes are in "<target>.part".
                                            const QString part = rig.Target() + ".part";
                                            QDeadlineTimer bound(10000);
                                            while (QFileInfo(part).size() < 10 && !bound.hasExpired())
                                                std::this_thread::yield();
                                            QDir(rig.folder).removeRecursively();
                                        }
                                        return sink.write(kPdf.data() + offset, offset > 0 ? kPdf.size() - 10 : 10);
                                    });
         });
     },
     5, "Impossible d'écrire le fichier dans le dossier ", After::FolderGone},
    {"TargetNameTakenByAFolder",
     [](Rig& r) {
         QFile::remove(r.Target());
         QDir().mkpath(r.Target());
         r.Route(Serve);
     },
     5, "Le nom ", After::IsFolder},
    {"FolderPathOf300Characters",
     [](Rig& r) {
         r.MoveTo(r.base.path() + "/" + QString(100, 'a') + "/" + QString(100, 'b') + "/" +
                  QString(299 - 202 - r.base.path().size(), 'c'));
         EXPECT_EQ(r.folder.size(), 300);
         r.Route(Serve);
     },
     0, nullptr, After::Replaced},
    {"FolderNameInSeveralScripts",
     [](Rig& r) {
         r.MoveTo(r.base.path() + "/Presse d'Zoë 新聞 Пресса");
         r.Route(Serve);
     },
     0, nullptr, After::Replaced},
};

} // namespace

class CliFault : public testing::TestWithParam<Fault> {};

TEST_P(CliFault, SaysWhyAndLosesNothing) {
    const Fault& fault = GetParam();
    Rig rig;
    fault.setUp(rig);
    const Ended run = rig.Download();
    EXPECT_EQ(run.status, fault.status) << run.err.toStdString();
    if (fault.says) {
        EXPECT_TRUE(run.err.startsWith(QString("Échec du téléchargement : ") + fault.says)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    } else {
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(run.out.startsWith("Téléchargement de Metro du ")) << run.out.toStdString();
    }
    switch (fault.after) {
    case After::Replaced:
        EXPECT_EQ(Read(rig.Target()).toStdString(), kPdf);
        break;
    case After::Kept:
        EXPECT_EQ(Read(rig.Target()), kEarlier);
        break;
    case After::IsFolder:
        EXPECT_TRUE(QFileInfo(rig.Target()).isDir());
        break;
    case After::FolderGone:
        EXPECT_FALSE(QFileInfo::exists(rig.folder)); // nothing written back into it
        break;
    }
    EXPECT_EQ(rig.Leftovers(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Matrix, CliFault, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

// The process killed (SIGKILL) in the middle of the body: the target is as it was, and the next
// run clears the stale "<target>.part" and completes the edition.
TEST(CliCrash, KilledMidBodyThenTheNextRunCompletes) {
    const std::string big = "%PDF-1.4\n" + std::string(4 << 20, 'x') + "\n%%EOF\n";
    const size_t half = big.size() / 2;
    for (const bool earlier : {false, true}) {
        Rig rig;
        if (!earlier)
            QFile::remove(rig.Target());
        rig.Route([&big, half](Rig& r, httplib::Response& a) {
            if (r.hits++ > 0)
                return a.set_content(big, "application/pdf");
            a.set_content_provider(big.size(), "application/pdf",
                                   [&big, half, rig = &r](size_t, size_t, httplib::DataSink& sink) {
                                       sink.write(big.data(), half);
                                       rig->server.Hold();
                                       return false;
                                   });
        });
        const QString part = rig.Target() + ".part";
        QProcess process;
        rig.Start(process);
        QDeadlineTimer deadline(30000);
        while (QFileInfo(part).size() < qint64(half) && !deadline.hasExpired())
            process.waitForFinished(10); // returns at once should the program end
        ASSERT_EQ(QFileInfo(part).size(), qint64(half));
        process.kill();
        rig.Finish(process);
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(QFileInfo::exists(rig.Target()), earlier);
        if (earlier) {
            EXPECT_EQ(Read(rig.Target()), kEarlier);
        }
        EXPECT_EQ(rig.Leftovers(), QStringList{rig.name + ".part"}); // what a crash leaves

        const Ended next = rig.Download();
        EXPECT_EQ(next.status, 0) << next.err.toStdString();
        EXPECT_EQ(Read(rig.Target()).toStdString(), big);
        EXPECT_EQ(rig.Leftovers(), QStringList());
    }
}

// Damaged stored settings: the program still runs, with whatever values could be read.
TEST(CliSettings, GarbledSettingsFileStillGivesItsReadableValues) {
    Rig rig;
    QDir().mkpath(rig.config.filePath("Orvane"));
    const char garbage[] = "\x01\xff\xfe garbage\0\n";
    Write(rig.config.filePath("Orvane/Lectoria.conf"),
          QByteArray(garbage, sizeof garbage - 1) + "Chemin=" + rig.folder.toUtf8() + "\nVille=7\n[[[\n=\n\x80\x81");
    QProcess process;
    process.setProcessEnvironment(rig.env);
    process.start(LECTORIA_CLI_PATH,
                  {"--journal", "metro", "--date", RecentWeekday().toString(Qt::ISODate), "--adresse"});
    const Ended run = rig.Finish(process);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith(rig.Target() + "\n")) << run.out.toStdString();
}
