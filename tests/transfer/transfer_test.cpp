#include "sample_pdf.h"
#include "support/qt_printers.h"
#include "support/test_answers.h"
#include "support/test_server.h"
#include "transfer/http_transfer_library.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <functional>

using namespace lectoria;
using lectoria::testing_support::ServeCut;
using lectoria::testing_support::TestServer;

namespace {

const std::string kPdf = tools::MakeSamplePdf("Metro - Paris - 03/05/2007");
const QByteArray kEarlier("%PDF-1.4 earlier edition %%EOF");

TransferTuning FastTuning() {
    TransferTuning tuning;
    tuning.connectTimeout = std::chrono::milliseconds(700);
    tuning.stallTimeout = std::chrono::milliseconds(700);
    tuning.firstRetryPause = std::chrono::milliseconds(10);
    tuning.waitForCloseOnFailure = false;
    return tuning;
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct ServerCase {
    const char* name;
    std::function<void(TestServer&, std::atomic<int>& hits)> setUp;
    int expected;
};

void PrintTo(const ServerCase& c, std::ostream* os) {
    *os << c.name;
}

void Serve(httplib::Response& response, const std::string& body, const char* type = "application/pdf") {
    response.set_content(body, type);
}

const ServerCase kCases[] = {
    {"Success", [](TestServer& s, auto&) { s.routes().Get("/e.pdf", [](auto&, auto& r) { Serve(r, kPdf); }); },
     TransferResult::Downloaded},
    {"ThreeRedirects",
     [](TestServer& s, auto&) {
         s.routes().Get("/r1", [](auto&, auto& r) { r.set_redirect("/r2", 301); });
         s.routes().Get("/r2", [](auto&, auto& r) { r.set_redirect("/r3", 307); });
         s.routes().Get("/r3", [](auto&, auto& r) { r.set_redirect("/e.pdf", 302); });
         s.routes().Get("/e.pdf", [](auto&, auto& r) { Serve(r, kPdf); });
     },
     TransferResult::Downloaded},
    {"RedirectLoop", [](TestServer& s, auto&) { s.routes().Get("/r1", [](auto&, auto& r) { r.set_redirect("/r1"); }); },
     TransferResult::HttpError},
    {"RedirectToFtp",
     [](TestServer& s, auto&) {
         s.routes().Get("/r1", [](auto&, auto& r) { r.set_redirect("ftp://127.0.0.1/e.pdf"); });
     },
     TransferResult::BadAddress},
    {"NotFound", [](TestServer& s, auto&) { s.routes().Get("/e.pdf", [](auto&, auto& r) { r.status = 404; }); },
     TransferResult::NotFound},
    {"ServerError", [](TestServer& s, auto&) { s.routes().Get("/e.pdf", [](auto&, auto& r) { r.status = 500; }); },
     TransferResult::HttpError},
    {"UnavailableTwiceThenSuccess",
     [](TestServer& s, std::atomic<int>& hits) {
         s.routes().Get("/e.pdf", [&hits](auto&, auto& r) {
             if (++hits <= 2)
                 r.status = 503;
             else
                 Serve(r, kPdf);
         });
     },
     TransferResult::Downloaded},
    {"HtmlPageWith200",
     [](TestServer& s, auto&) {
         s.routes().Get("/e.pdf", [](auto&, auto& r) { Serve(r, "<html>Pas de PDF</html>", "text/html"); });
     },
     TransferResult::NotPdf},
    {"TruncatedBody",
     [](TestServer& s, auto&) {
         s.routes().Get("/e.pdf", [](auto&, auto& r) { ServeCut(r, kPdf, kPdf.size(), 100); });
     },
     TransferResult::Truncated},
    {"ChunkedWithoutEnd",
     [](TestServer& s, auto&) {
         s.routes().Get("/e.pdf", [](auto&, auto& r) {
             r.set_chunked_content_provider("application/pdf", [](size_t, httplib::DataSink& sink) {
                 sink.write(kPdf.data(), 200);
                 sink.done();
                 return true;
             });
         });
     },
     TransferResult::Truncated},
    {"Stall",
     [](TestServer& s, auto&) {
         s.routes().Get("/e.pdf", [&s](auto&, auto& r) {
             s.Hold();
             Serve(r, kPdf);
         });
     },
     TransferResult::TimedOut},
};

std::string PathOf(const char* name) {
    const std::string n = name;
    return (n.find("Redirect") != std::string::npos) ? "/r1" : "/e.pdf";
}

} // namespace

class ServerBehaviour : public testing::TestWithParam<ServerCase> {};

TEST_P(ServerBehaviour, TargetIsReplacedOnlyOnSuccessAndNoTemporaryFileIsLeft) {
    const ServerCase& c = GetParam();
    QTemporaryDir folder;
    const QString target = folder.filePath("20070503_Metro_Paris.pdf");
    for (const bool earlierFile : {false, true}) {
        QFile::remove(target);
        if (earlierFile) {
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(kEarlier);
        }
        TestServer server;
        std::atomic<int> hits{0};
        c.setUp(server, hits);
        HttpTransferLibrary library(FastTuning());
        const int result = library.Download(nullptr, QString::fromStdString(server.url(PathOf(c.name))), target);
        server.Release();
        EXPECT_EQ(result, c.expected) << "earlier file: " << earlierFile << " " << library.LastError().toStdString();
        if (c.expected == TransferResult::Downloaded) {
            EXPECT_EQ(Read(target).toStdString(), kPdf);
            EXPECT_TRUE(library.LastError().isEmpty());
        } else if (earlierFile) {
            EXPECT_EQ(Read(target), kEarlier);
        } else {
            EXPECT_FALSE(QFile::exists(target));
        }
        if (c.expected != TransferResult::Downloaded) {
            EXPECT_FALSE(library.LastError().isEmpty());
        }
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(),
                  (earlierFile || c.expected == TransferResult::Downloaded) ? 1 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ServerBehaviour, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

TEST(Transfer, RetriesTransientFailuresThenGivesUp) {
    TestServer server;
    std::atomic<int> hits{0};
    server.routes().Get("/e.pdf", [&hits](auto&, auto& r) {
        ++hits;
        r.status = 503;
    });
    QTemporaryDir folder;
    HttpTransferLibrary library(FastTuning());
    EXPECT_EQ(library.Download(nullptr, QString::fromStdString(server.url("/e.pdf")), folder.filePath("e.pdf")),
              TransferResult::HttpError);
    EXPECT_EQ(hits, 4); // the first try and three retries
    EXPECT_EQ(library.LastError(), "Le serveur est momentanément indisponible (erreur 503).");
}

// A connection lost mid-body resumes where it stopped when the server honours Range, and starts
// over when it answers with the whole file again; either way the file is the edition, byte for byte.
TEST(Transfer, ResumesACutTransfer) {
    for (const bool honoursRange : {true, false}) {
        TestServer server;
        std::atomic<int> hits{0};
        std::string secondRange;
        server.routes().Get("/e.pdf", [&](const httplib::Request& request, httplib::Response& r) {
            if (++hits == 1)
                return ServeCut(r, kPdf, kPdf.size(), 300);
            secondRange = request.get_header_value("Range");
            if (honoursRange)
                return Serve(r, kPdf); // the server cuts the range out itself
            r.set_header("Accept-Ranges", "none");
            r.set_content_provider(kPdf.size(), "application/pdf", [](size_t offset, size_t, httplib::DataSink& sink) {
                sink.write(kPdf.data() + offset, kPdf.size() - offset);
                return true;
            });
        });
        QTemporaryDir folder;
        HttpTransferLibrary library(FastTuning());
        EXPECT_EQ(library.Download(nullptr, QString::fromStdString(server.url("/e.pdf")), folder.filePath("e.pdf")),
                  TransferResult::Downloaded)
            << library.LastError().toStdString();
        EXPECT_EQ(secondRange, "bytes=300-");
        EXPECT_EQ(Read(folder.filePath("e.pdf")).toStdString(), kPdf) << "honours Range: " << honoursRange;
    }
}

// A disk that fills up in the middle of the body: the cause is told and nothing is committed.
TEST(Transfer, DiskFullDuringTheBody) {
    class FillingWriter final : public FileWriter {
    public:
        explicit FillingWriter(bool& committed) : committed_(committed) {}
        bool Open() override { return true; }
        bool Write(const char*, qint64 size) override { return (written_ += size) < 500; }
        bool Restart() override { return true; }
        bool Commit() override { return committed_ = true; }
        void Discard() override {}
        int Failure() const override { return TransferResult::DiskFull; }

    private:
        bool& committed_;
        qint64 written_ = 0;
    };
    TestServer server;
    const std::string big = kPdf + std::string(64 * 1024, ' ');
    server.routes().Get("/e.pdf", [&big](auto&, auto& r) { Serve(r, big); });
    bool committed = false;
    TransferTuning tuning = FastTuning();
    tuning.makeWriter = [&committed](const QString&) { return std::make_unique<FillingWriter>(committed); };
    HttpTransferLibrary library(tuning);
    QTemporaryDir folder;
    EXPECT_EQ(library.Download(nullptr, QString::fromStdString(server.url("/e.pdf")), folder.filePath("e.pdf")),
              TransferResult::DiskFull);
    EXPECT_FALSE(committed);
    EXPECT_FALSE(library.LastError().isEmpty());
}

// The power fails after the data reached the disk but before the rename: the earlier edition is
// untouched, and the next download replaces the complete leftover "<target>.part" with a fresh one.
TEST(Transfer, StopBetweenTheLastWriteAndTheRename) {
    class PowerCutWriter final : public FileWriter {
    public:
        explicit PowerCutWriter(const QString& target) : real_(target) {}
        bool Open() override { return real_.Open(); }
        bool Write(const char* data, qint64 size) override { return real_.Write(data, size); }
        bool Restart() override { return real_.Restart(); }
        bool Commit() override {
            EXPECT_TRUE(real_.Sync());
            real_.Abandon(); // nothing of this process runs after this point
            return false;
        }
        void Discard() override { real_.Discard(); }
        int Failure() const override { return TransferResult::WriteError; }

    private:
        PartFileWriter real_;
    };
    TestServer server;
    server.routes().Get("/e.pdf", [](auto&, auto& r) { Serve(r, kPdf); });
    const QString url = QString::fromStdString(server.url("/e.pdf"));
    QTemporaryDir folder;
    const QString target = folder.filePath("e.pdf");
    QFile earlier(target);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write(kEarlier) == kEarlier.size());
    earlier.close();

    TransferTuning cut = FastTuning();
    cut.makeWriter = [](const QString& t) { return std::make_unique<PowerCutWriter>(t); };
    EXPECT_NE(HttpTransferLibrary(cut).Download(nullptr, url, target), TransferResult::Downloaded);
    EXPECT_EQ(Read(target), kEarlier);
    EXPECT_EQ(Read(TemporaryFileFor(target)).toStdString(), kPdf);

    EXPECT_EQ(HttpTransferLibrary(FastTuning()).Download(nullptr, url, target), TransferResult::Downloaded);
    EXPECT_EQ(Read(target).toStdString(), kPdf);
    EXPECT_FALSE(QFileInfo::exists(TemporaryFileFor(target)));
}

TEST(Transfer, LocalFailuresKeepTheFolderClean) {
    TestServer server;
    server.routes().Get("/e.pdf", [](auto&, auto& r) { Serve(r, kPdf); });
    const QString url = QString::fromStdString(server.url("/e.pdf"));
    QTemporaryDir folder;
    HttpTransferLibrary library(FastTuning());

    // Letters from several scripts and an apostrophe in the folder name.
    const QString odd = folder.filePath("Presse d'Zoë 新聞 Пресса");
    ASSERT_TRUE(QDir().mkpath(odd));
    EXPECT_EQ(library.Download(nullptr, url, odd + "/e.pdf"), TransferResult::Downloaded);
    EXPECT_EQ(Read(odd + "/e.pdf").toStdString(), kPdf);

    // The target name is taken by a folder: refused, the folder stays.
    ASSERT_TRUE(QDir().mkpath(folder.filePath("pris.pdf")));
    EXPECT_EQ(library.Download(nullptr, url, folder.filePath("pris.pdf")), TransferResult::TargetIsFolder);
    EXPECT_TRUE(library.LastError().startsWith("Le nom pris.pdf est déjà pris par un dossier dans "));
    EXPECT_TRUE(QFileInfo(folder.filePath("pris.pdf")).isDir());

    EXPECT_EQ(library.Download(nullptr, url, folder.filePath("absent/e.pdf")), TransferResult::WriteError);
    EXPECT_EQ(library.Download(nullptr, "ftp://127.0.0.1/e.pdf", folder.filePath("f.pdf")), TransferResult::BadAddress);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

TEST(Transfer, CancelFromTheWindowButton) {
    TestServer server;
    server.routes().Get("/e.pdf", [&server](auto&, auto& r) {
        server.Hold();
        Serve(r, kPdf);
    });
    QTemporaryDir folder;
    TransferTuning tuning = FastTuning();
    tuning.stallTimeout = std::chrono::milliseconds(20000);
    HttpTransferLibrary library(tuning);
    library.SetOption("label", "Téléchargement en cours");
    library.SetOption("description", "Metro édition Paris du 03/05/2007");
    QWidget owner;
    owner.show();
    // Press "Annuler" as soon as the progress window is on screen.
    QTimer poll;
    QString shownDescription;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() != "frmTransfert" || !window->isVisible())
                continue;
            if (auto* description = window->findChild<QLabel*>("lbl_Description"))
                shownDescription = description->text();
            if (auto* cancel = window->findChild<QPushButton*>("cmd_Annuler")) {
                poll.stop();
                cancel->click();
            }
        }
    });
    poll.start(10);
    const int result = library.Download(&owner, QString::fromStdString(server.url("/e.pdf")), folder.filePath("e.pdf"));
    server.Release();
    EXPECT_EQ(result, TransferResult::Cancelled);
    EXPECT_EQ(library.LastError(), "Téléchargement annulé.");
    EXPECT_EQ(shownDescription, "Metro édition Paris du 03/05/2007");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}
