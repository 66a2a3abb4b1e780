// Faults met by a real lectoria-cli process: what it says, its exit status, and that no earlier
// file of the same name is lost nor any "<target>.part" left behind.
#include "cli_run.h"
#include "support/qt_printers.h"
#include "support/test_answers.h"
#include "support/test_files.h"
#include "support/test_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <thread>

using namespace lectoria::testing_support;

namespace {

const std::string kEdition = kPdf;
const QByteArray kEarlier("%PDF-1.4 earlier edition %%EOF");

struct Rig;
using Answer = std::function<void(Rig&, const httplib::Request&, httplib::Response&)>;

void Serve(Rig&, const httplib::Request&, httplib::Response& r) {
    r.set_content(kEdition, "application/pdf");
}

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
    void Route(Answer answer) {
        server.routes().Get(".*",
                            [this, answer](const httplib::Request& q, httplib::Response& r) { answer(*this, q, r); });
    }
    void Start(QProcess& process) {
        process.setProcessEnvironment(env);
        process.start(LECTORIA_CLI_PATH, {"--journal", "metro", "--ville", "Paris", "--date",
                                          RecentWeekday().toString(Qt::ISODate), "--dossier", folder});
    }
    Outcome Download() {
        QProcess process;
        Start(process);
        const Outcome outcome = Finish(process);
        server.Release();
        return outcome;
    }
    QStringList Leftovers() const { return QDir(folder).entryList({"*.part"}, QDir::Files | QDir::Hidden); }
};

// What the folder holds afterwards.
enum class After { Replaced, Kept, IsFolder, FolderGone };

struct Fault {
    const char* name;
    Answer answer; // nullptr: the whole edition
    int status;
    const char* says; // the start of the failure's sentence; none for a success
    After after;
    std::function<void(Rig&)> setUp = nullptr;
    const char* alsoSays = nullptr; // further on in the sentence
};

void PrintTo(const Fault& fault, std::ostream* os) {
    *os << fault.name;
}

const char* const kUnreachable = "Impossible de joindre le serveur.";
const char* const kIncomplete = "Le fichier reçu est incomplet.";
const char* const kNotHttp = "Renvoi refusé : l'archive renvoie vers ";

// The archive's address on a name that resolves nowhere: only a proxy can bring the edition.
void ThroughProxy(Rig& rig, const QString& proxy) {
    rig.env.insert("http_proxy", proxy);
    rig.env.remove("no_proxy");
    rig.env.remove("NO_PROXY");
    rig.env.insert("LECTORIA_METRO_URL", "http://metro.test/m/");
}

const Fault kFaults[] = {
    // 263 characters, more than DNS allows: refused by the resolver without a query leaving the machine.
    {"UnresolvableHost", nullptr, 5, kUnreachable, After::Kept,
     [](Rig& r) {
         r.env.insert("LECTORIA_METRO_URL", "http://" + QStringList(4, QString(63, 'a')).join('.') + ".test/");
     }},
    // A server gone frees its port again.
    {"ConnectionRefused", nullptr, 5, kUnreachable, After::Kept,
     [](Rig& r) { r.env.insert("LECTORIA_METRO_URL", QString::fromStdString(TestServer().url("/"))); }},
    {"NotFound", [](Rig&, auto&, auto& a) { a.status = 404; }, 5, "Édition introuvable sur le serveur (erreur 404).",
     After::Kept},
    {"CutAfterTheHeaders", [](Rig&, auto&, auto& a) { ServeCut(a, kEdition, kEdition.size(), 0); }, 5, kIncomplete,
     After::Kept},
    {"CutMidBody", [](Rig&, auto&, auto& a) { ServeCut(a, kEdition, kEdition.size(), kEdition.size() / 2); }, 5,
     kIncomplete, After::Kept},
    {"Stall",
     [](Rig& rig, auto& q, auto& a) {
         rig.server.Hold();
         Serve(rig, q, a);
     },
     5, "Le serveur ne répond plus.", After::Kept, [](Rig& r) { r.env.insert("LECTORIA_DELAI_REPONSE", "1"); }},
    // Qt's own complaints about the closed reply stay off the error output.
    {"StallMidBody",
     [](Rig& rig, auto&, auto& a) {
         a.set_content_provider(kEdition.size(), "application/pdf",
                                [&rig](size_t offset, size_t, httplib::DataSink& sink) {
                                    if (offset < kEdition.size() / 2) // the retry asks for the rest
                                        sink.write(kEdition.data() + offset, kEdition.size() / 2 - offset);
                                    rig.server.Hold();
                                    return false;
                                });
     },
     5, "Le serveur ne répond plus.", After::Kept, [](Rig& r) { r.env.insert("LECTORIA_DELAI_REPONSE", "1"); }},
    {"ProxyAsksForCredentials",
     [](Rig&, auto&, auto& a) {
         a.status = 407;
         a.set_header("Proxy-Authenticate", "Basic realm=\"proxy\"");
     },
     5, "Le proxy 127.0.0.1:", After::Kept, [](Rig& r) { ThroughProxy(r, QString::fromStdString(r.server.url(""))); }},
    {"ProxyRefusesTheCredentialsGiven",
     [](Rig&, auto&, auto& a) {
         a.status = 407;
         a.set_header("Proxy-Authenticate", "Basic realm=\"proxy\"");
     },
     5, "Le proxy 127.0.0.1:", After::Kept,
     [](Rig& r) { ThroughProxy(r, QString::fromStdString(r.server.url("")).replace("http://", "http://nom:faux@")); },
     "refuse l'identifiant ou le mot de passe donnés (erreur 407)"},
    {"ProxyDown", nullptr, 5, "Impossible de joindre le proxy 127.0.0.1:", After::Kept,
     [](Rig& r) { ThroughProxy(r, QString::fromStdString(TestServer().url(""))); }},
    // No archive set anywhere, and offline: the setting to fill in is named, nothing is asked.
    {"ArchiveNotConfigured", nullptr, 5, "Aucune archive n'est configurée", After::Kept,
     [](Rig& r) {
         r.env.remove("LECTORIA_METRO_URL");
         r.env.insert("XDG_CONFIG_DIRS", r.config.path());
         r.env.insert("LECTORIA_CONNEXION", "absente");
     }},
    // One byte a second keeps a 3 s time-out from firing although the whole takes longer.
    {"DribbleWithinTheTimeOut",
     [](Rig&, auto&, auto& a) {
         a.set_content_provider(kEdition.size(), "application/pdf", [](size_t offset, size_t, httplib::DataSink& sink) {
             const size_t head = kEdition.size() - 4;
             if (offset >= head) // the pace is the fault under test, not a wait of the test
                 std::this_thread::sleep_for(std::chrono::seconds(1));
             return sink.write(kEdition.data() + offset, offset < head ? head : 1);
         });
     },
     0, nullptr, After::Replaced, [](Rig& r) { r.env.insert("LECTORIA_DELAI_REPONSE", "3"); }},
    {"LongerThanAnnounced", [](Rig&, auto&, auto& a) { ServeCut(a, kEdition, kEdition.size() - 10, kEdition.size()); },
     5, kIncomplete, After::Kept},
    {"ShorterThanAnnounced", [](Rig&, auto&, auto& a) { ServeCut(a, kEdition, kEdition.size() + 10, kEdition.size()); },
     5, kIncomplete, After::Kept},
    {"ChunkedWithoutEof",
     [](Rig&, auto&, auto& a) {
         a.set_chunked_content_provider("application/pdf", [](size_t, httplib::DataSink& sink) {
             sink.write(kEdition.data(), kEdition.size() - 7);
             sink.done();
             return true;
         });
     },
     5, kIncomplete, After::Kept},
    {"Gzipped",
     [](Rig&, auto&, auto& a) {
         a.set_header("Content-Encoding", "gzip");
         static const char gzipped[] = "\x1f\x8b\x08\x00 compressed %PDF-1.4";
         a.set_content(std::string(gzipped, sizeof gzipped - 1), "application/pdf");
     },
     5, "Le serveur n'a pas envoyé un fichier PDF.", After::Kept},
    // The hop is read from the address, not counted: a client may send a request twice.
    {"RedirectsOfEveryKind",
     [](Rig& rig, const httplib::Request& q, httplib::Response& a) {
         const int hop = q.path.rfind("/hop", 0) == 0 ? std::clamp(std::atoi(q.path.c_str() + 4), 0, 4) : 0;
         if (hop == 4)
             return Serve(rig, q, a);
         a.set_redirect("/hop" + std::to_string(hop + 1), std::array{301, 302, 307, 308}[hop]);
     },
     0, nullptr, After::Replaced},
    {"RedirectToFile", [](Rig&, auto&, auto& a) { a.set_redirect("file:///etc/passwd"); }, 5, kNotHttp, After::Kept},
    {"RedirectToFtp", [](Rig&, auto&, auto& a) { a.set_redirect("ftp://127.0.0.1/e.pdf"); }, 5, kNotHttp, After::Kept},
    // More than any disk holds: refused on the headers, before a byte is written.
    {"LargerThanTheFreeSpace",
     [](Rig&, auto&, auto& a) {
         a.set_content_provider(size_t{1} << 62, "application/pdf", [](size_t, size_t, httplib::DataSink& sink) {
             return sink.write(kEdition.data(), kEdition.size());
         });
     },
     5, "Plus de place sur le disque : le fichier n'a pas pu être enregistré dans le dossier ", After::Kept},
    // The folder goes once the first bytes are in "<target>.part".
    {"FolderRemovedDuringTheTransfer",
     [](Rig& rig, auto&, auto& a) {
         a.set_content_provider(
             kEdition.size(), "application/pdf", [&rig](size_t offset, size_t, httplib::DataSink& sink) {
                 QDeadlineTimer bound(10000);
                 while (offset > 0 && QFileInfo(rig.Target() + ".part").size() < 10 && !bound.hasExpired())
                     std::this_thread::yield();
                 if (offset > 0)
                     QDir(rig.folder).removeRecursively();
                 return sink.write(kEdition.data() + offset, offset > 0 ? kEdition.size() - 10 : 10);
             });
     },
     5, "Impossible d'écrire le fichier dans le dossier ", After::FolderGone},
    {"TargetNameTakenByAFolder", nullptr, 5, "Le nom ", After::IsFolder,
     [](Rig& r) {
         QFile::remove(r.Target());
         QDir().mkpath(r.Target());
     }},
    {"FolderPathOf300Characters", nullptr, 0, nullptr, After::Replaced,
     [](Rig& r) {
         r.MoveTo(r.base.path() + "/" + QString(100, 'a') + "/" + QString(100, 'b') + "/" +
                  QString(299 - 202 - r.base.path().size(), 'c'));
         EXPECT_EQ(r.folder.size(), 300);
     }},
    {"FolderNameInSeveralScripts", nullptr, 0, nullptr, After::Replaced,
     [](Rig& r) { r.MoveTo(r.base.path() + "/Presse d'Zoë 新聞 Пресса"); }},
};

} // namespace

class CliFault : public testing::TestWithParam<Fault> {};

TEST_P(CliFault, SaysWhyAndLosesNothing) {
    const Fault& fault = GetParam();
    Rig rig;
    if (fault.setUp)
        fault.setUp(rig);
    rig.Route(fault.answer ? fault.answer : Answer(Serve));
    const Outcome run = rig.Download();
    EXPECT_EQ(run.status, fault.status) << run.err.toStdString();
    if (fault.says) {
        EXPECT_TRUE(run.err.startsWith(QString("Échec du téléchargement : ") + fault.says)) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString(); // our sentence and nothing else
        if (fault.alsoSays) {
            EXPECT_TRUE(run.err.contains(QString::fromUtf8(fault.alsoSays))) << run.err.toStdString();
        }
        EXPECT_TRUE(run.out.isEmpty());
    } else {
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(run.out.startsWith("Téléchargement de Metro du ")) << run.out.toStdString();
    }
    switch (fault.after) {
    case After::Replaced:
        EXPECT_EQ(Read(rig.Target()).toStdString(), kEdition);
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

// SIGKILL in the middle of the body, with and without an earlier copy: the target is as it was,
// only "<target>.part" is left, and the next run clears it and completes the edition.
TEST(CliCrash, KilledMidBodyThenTheNextRunCompletes) {
    const std::string big = "%PDF-1.4\n" + std::string(4 << 20, 'x') + "\n%%EOF\n";
    const size_t half = big.size() / 2;
    for (const bool earlier : {false, true}) {
        SCOPED_TRACE(earlier);
        Rig rig;
        if (!earlier)
            QFile::remove(rig.Target());
        rig.Route([&big, half](Rig& r, auto&, httplib::Response& a) {
            if (r.hits++ > 0)
                return a.set_content(big, "application/pdf");
            a.set_content_provider(big.size(), "application/pdf",
                                   [&big, half, &r](size_t, size_t, httplib::DataSink& sink) {
                                       sink.write(big.data(), half);
                                       r.server.Hold();
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
        Finish(process);
        rig.server.Release();
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(Read(rig.Target()), earlier ? kEarlier : QByteArray());
        EXPECT_EQ(QFileInfo::exists(rig.Target()), earlier);
        EXPECT_EQ(rig.Leftovers(), QStringList{rig.name + ".part"});

        const Outcome next = rig.Download();
        EXPECT_EQ(next.status, 0) << next.err.toStdString();
        EXPECT_EQ(Read(rig.Target()).toStdString(), big);
        EXPECT_EQ(rig.Leftovers(), QStringList());
    }
}
