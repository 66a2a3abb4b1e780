// The download library on its own; the faults lectoria-cli meets the same way are in tests/app.
#include "fast_tuning.h"
#include "sample_pdf.h"
#include "support/qt_printers.h"
#include "support/test_answers.h"
#include "support/test_files.h"
#include "support/test_server.h"
#include "transfer/http_transfer_library.h"
#include "transfer/progress_view.h"
#include "transfer/response_check.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

using namespace lectoria;
using lectoria::testing_support::Read;
using lectoria::testing_support::ServeCut;
using lectoria::testing_support::TestServer;
using lectoria::testing_support::Write;

namespace {

const std::string kPdf = tools::MakeSamplePdf("Metro - Paris - 03/05/2007");
const QByteArray kEarlier("%PDF-1.4 earlier edition %%EOF");

void Serve(httplib::Response& response, const std::string& body = kPdf, const char* type = "application/pdf") {
    response.set_content(body, type);
}

void Unavailable(httplib::Response& response, const char* retryAfter = nullptr) {
    response.status = 503;
    if (retryAfter)
        response.set_header("Retry-After", retryAfter);
}

// One answer per request to "/e.pdf"; `hit` counts the requests from 1.
struct ServerCase {
    const char* name;
    std::function<void(httplib::Response&, int hit)> answer;
    int expected;
    const char* error; // LastError(), empty on success
    int hits;          // requests the server saw; 0: not counted
};

// Named in ctest's listing and in failures by its case name, not by a dump of its bytes.
void PrintTo(const ServerCase& c, std::ostream* os) {
    *os << c.name;
}

const char kBusy[] = "Le serveur est momentanément indisponible (erreur 503).";
const char kWebPage[] =
    "L'archive a répondu par une page web au lieu de l'édition : elle n'est sans doute pas (encore) publiée.";

const ServerCase kCases[] = {
    {"UnavailableTwiceThenServed", [](auto& r, int hit) { hit <= 2 ? Unavailable(r) : Serve(r); },
     TransferResult::Downloaded, "", 3},
    {"UnavailableGivesUpAfterThreeRetries", [](auto& r, int) { Unavailable(r); }, TransferResult::HttpError, kBusy, 4},
    {"RetryAfterZeroIsRetried", [](auto& r, int hit) { hit == 1 ? Unavailable(r, "0") : Serve(r); },
     TransferResult::Downloaded, "", 2},
    {"RetryAfterTwoMinutesIsNotAwaited", [](auto& r, int) { Unavailable(r, "120"); }, TransferResult::HttpError, kBusy,
     1},
    {"NotFoundIsNotRetried", [](auto& r, int) { r.status = 404; }, TransferResult::NotFound,
     "Édition introuvable sur le serveur (erreur 404).", 1},
    {"ServerErrorIsNotRetried", [](auto& r, int) { r.status = 500; }, TransferResult::HttpError,
     "Le serveur a refusé la demande (erreur 500).", 1},
    {"RedirectLoop", [](auto& r, int) { r.set_redirect("/e.pdf"); }, TransferResult::HttpError,
     "Le serveur renvoie vers trop d'adresses successives.", 0},
    {"HtmlPageWith200", [](auto& r, int) { Serve(r, "<html>Pas de PDF</html>", "text/html"); }, TransferResult::WebPage,
     kWebPage, 1},
    {"HtmlBodyTypedAsPdf", [](auto& r, int) { Serve(r, "\n  <!DOCTYPE html><title>Accueil</title>"); },
     TransferResult::WebPage, kWebPage, 1},
    {"RedirectToTheHomePage",
     [](auto& r, int hit) { hit == 1 ? r.set_redirect("/e.pdf?accueil") : Serve(r, "<p>Bienvenue", "text/html"); },
     TransferResult::WebPage, kWebPage, 0}, // a reused connection may carry a request twice
    {"TextThatIsNotAPage", [](auto& r, int) { Serve(r, "Pas de PDF", "text/plain"); }, TransferResult::NotPdf,
     "Le serveur n'a pas envoyé un fichier PDF.", 1},
};

} // namespace

// One server, one folder holding an earlier copy of the edition.
class Transfer : public testing::Test {
protected:
    void SetUp() override { Write(target, kEarlier); }
    void Route(httplib::Server::Handler answer) { server.routes().Get("/e.pdf", std::move(answer)); }
    void ServePdf() {
        Route([](const httplib::Request&, httplib::Response& r) { Serve(r); });
    }
    QStringList Files() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden); }

    TestServer server;
    QTemporaryDir folder;
    const QString url = QString::fromStdString(server.url("/e.pdf"));
    const QString target = folder.filePath("e.pdf");
};

class ServerBehaviour : public Transfer, public testing::WithParamInterface<ServerCase> {};

TEST_P(ServerBehaviour, ResultMessageAndRequestsAndTheTargetIsReplacedOnlyOnSuccess) {
    const ServerCase& c = GetParam();
    std::atomic<int> hits{0};
    Route([&](const httplib::Request&, httplib::Response& r) { c.answer(r, ++hits); });
    {
        HttpTransferLibrary library(FastTuning());
        EXPECT_EQ(library.Download(nullptr, url, target), c.expected);
        EXPECT_EQ(library.LastError(), QString::fromUtf8(c.error));
    }              // its connection closed, the server stops at once
    server.Stop(); // a request still in flight would count into `hits` once it is gone
    if (c.hits) {
        EXPECT_EQ(hits, c.hits);
    }
    if (c.expected == TransferResult::Downloaded) {
        EXPECT_EQ(Read(target).toStdString(), kPdf);
    } else {
        EXPECT_EQ(Read(target), kEarlier);
    }
    EXPECT_EQ(Files(), QStringList{"e.pdf"});
}

INSTANTIATE_TEST_SUITE_P(Faults, ServerBehaviour, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ServerCase>& info) { return std::string(info.param.name); });

// A page of another site (a Wi-Fi portal catching every request) is not the archive saying that
// the edition is missing: the cause names the site, and the edition is not counted as unpublished.
TEST_F(Transfer, AnotherSitesPageIsNotAMissingEdition) {
    const std::string portal = "http://localhost:" + std::to_string(server.port()) + "/portail";
    Route([&](const httplib::Request&, httplib::Response& r) { r.set_redirect(portal); });
    server.routes().Get("/portail", [](const httplib::Request&, httplib::Response& r) {
        Serve(r, "<html><body>Connexion au Wi-Fi</body></html>", "text/html");
    });
    HttpTransferLibrary library(FastTuning());
    EXPECT_EQ(library.Download(nullptr, url, target), TransferResult::NetworkError);
    EXPECT_TRUE(
        library.LastError().startsWith("La demande a été renvoyée vers une page web d'un autre site (localhost)"))
        << library.LastError().toStdString();
    EXPECT_EQ(Read(target), kEarlier);
}

// Which redirects stay on the archive's own site (its home page says "not there yet") and which
// lead elsewhere (a portal).
TEST(Redirect, StaysOnTheArchivesSiteOnlyWithinItsDomain) {
    const struct {
        const char* archive;
        const char* landed;
        bool same;
    } cases[] = {{"pdf.journal.fr", "www.journal.fr", true},
                 {"PDF.Journal.fr", "journal.fr", true},
                 {"pdf.journal.fr", "a.b.journal.fr", true},
                 {"pdf.journal.fr", "portail.wifi.fr", false},
                 {"journal.fr", "journal.com", false},
                 {"127.0.0.1", "localhost", false},
                 {"127.0.0.1", "127.0.0.1", true},
                 {"10.0.0.1", "10.0.0.2", false},
                 {"localhost", "portail", false}};
    for (const auto& c : cases)
        EXPECT_EQ(SameSite(c.archive, c.landed), c.same) << c.archive << " -> " << c.landed;
}

// A cut transfer resumes with Range, or starts over when the server sends the whole file again,
// or answers 416 (its file shrank or changed): then the next request asks for the whole file.
TEST_F(Transfer, ResumesACutTransfer) {
    enum Server { HonoursRange, SendsItAllAgain, RefusesTheRange };
    std::atomic<int> hits{0};
    std::atomic<Server> server;
    std::string secondRange, thirdRange = "none";
    Route([&](const httplib::Request& request, httplib::Response& r) {
        const int hit = ++hits;
        if (hit == 1)
            return ServeCut(r, kPdf, kPdf.size(), 300);
        (hit == 2 ? secondRange : thirdRange) = request.get_header_value("Range");
        if (server == HonoursRange || (server == RefusesTheRange && !request.has_header("Range")))
            return Serve(r); // the server cuts the range out itself
        if (server == RefusesTheRange) {
            r.status = 416;
            r.set_header("Content-Range", "bytes */" + std::to_string(kPdf.size()));
            return;
        }
        r.set_header("Accept-Ranges", "none");
        r.set_content_provider(kPdf.size(), "application/pdf", [](size_t offset, size_t, httplib::DataSink& sink) {
            sink.write(kPdf.data() + offset, kPdf.size() - offset);
            return true;
        });
    });
    for (const Server behaviour : {HonoursRange, SendsItAllAgain, RefusesTheRange}) {
        server = behaviour;
        hits = 0;
        Write(target, kEarlier);
        HttpTransferLibrary library(FastTuning());
        EXPECT_EQ(library.Download(nullptr, url, target), TransferResult::Downloaded)
            << library.LastError().toStdString();
        EXPECT_EQ(secondRange, "bytes=300-") << behaviour;
        EXPECT_EQ(Read(target).toStdString(), kPdf) << behaviour;
        EXPECT_EQ(hits, behaviour == RefusesTheRange ? 3 : 2) << behaviour;
    }
    EXPECT_EQ(thirdRange, ""); // after the 416, the whole file
}

// A run cut off mid-body leaves "<target>.part" and its validator; the next run continues with
// Range and If-Range, or starts from zero when the server's file changed (a whole 200 answer to
// the If-Range, a 416, or a range of a file of another size from a server that ignores If-Range).
// A leftover that is a link is removed, never followed.
TEST_F(Transfer, TheNextRunContinuesWhatACutRunLeft) {
    enum Second { SameFile, ChangedFile, ShrunkFile, IgnoresIfRange, SameDateNoETag, PartIsALink };
    const std::string kChanged = tools::MakeSamplePdf("Metro - Paris - 04/05/2007 (corrigée)");
    constexpr size_t kCut = 300;
    std::atomic<Second> second{SameFile};
    std::atomic<bool> cut{true};
    std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> asked; // Range, If-Range of the second run
    Route([&](const httplib::Request& request, httplib::Response& r) {
        const bool dated = second == SameDateNoETag;
        const char* lastModified = "Thu, 03 May 2007 05:00:00 GMT";
        dated ? r.set_header("Last-Modified", lastModified) : r.set_header("ETag", "\"v1\"");
        if (cut)
            return ServeCut(r, kPdf, kPdf.size(), kCut);
        {
            const std::lock_guard lock(mutex);
            asked.emplace_back(request.get_header_value("Range"), request.get_header_value("If-Range"));
        }
        const bool changed = second == ChangedFile || second == ShrunkFile || second == IgnoresIfRange;
        if (changed) {
            r.headers.erase("ETag");
            r.set_header("ETag", "\"v2\"");
        }
        if (second == ShrunkFile && request.has_header("Range")) {
            r.status = 416;
            return;
        }
        const std::string current = dated ? lastModified : changed ? "\"v2\"" : "\"v1\"";
        if (request.has_header("If-Range") && request.get_header_value("If-Range") != current &&
            second != IgnoresIfRange) {
            // Not the file the client holds a part of: all of it. cpp-httplib would cut the range
            // out of any answer, so the range is dropped here.
            const_cast<httplib::Request&>(request).ranges.clear();
            r.status = 200;
        }
        Serve(r, changed ? kChanged : kPdf); // the server cuts the range out itself
    });
    const QString part = TemporaryFileFor(target);
    const QString elsewhere = folder.filePath("autre.pdf");
    struct Expected {
        Second second;
        std::vector<std::pair<std::string, std::string>> asked;
        const std::string& file;
    };
    ASSERT_NE(kChanged.size(), kPdf.size());
    const Expected cases[] = {
        {SameFile, {{"bytes=300-", "\"v1\""}}, kPdf},
        {ChangedFile, {{"bytes=300-", "\"v1\""}}, kChanged},
        {ShrunkFile, {{"bytes=300-", "\"v1\""}, {"", ""}}, kChanged},
        {IgnoresIfRange, {{"bytes=300-", "\"v1\""}, {"", ""}}, kChanged}, // not spliced onto the old start
        {SameDateNoETag, {{"bytes=300-", "Thu, 03 May 2007 05:00:00 GMT"}}, kPdf},
        {PartIsALink, {{"", ""}}, kPdf},
    };
    for (const Expected& expected : cases) {
        second = expected.second;
        cut = true;
        asked.clear();
        TransferTuning once = FastTuning();
        once.maxRetries = 0;
        EXPECT_EQ(HttpTransferLibrary(once).Download(nullptr, url, target), TransferResult::Truncated);
        EXPECT_EQ(Read(part).size(), qsizetype(kCut)) << expected.second;
        EXPECT_TRUE(QFile::exists(ValidatorFileFor(target))) << expected.second;
        if (expected.second == PartIsALink) {
            Write(elsewhere, kEarlier);
            ASSERT_TRUE(QFile::remove(part));
#ifdef Q_OS_WIN
            // A symbolic link takes a privilege there; a second name for the same bytes is refused alike.
            std::error_code error;
            std::filesystem::create_hard_link(elsewhere.toStdWString(), part.toStdWString(), error);
            ASSERT_FALSE(error) << error.message();
#else
            ASSERT_TRUE(QFile::link(elsewhere, part));
#endif
        }

        cut = false;
        HttpTransferLibrary library(FastTuning());
        EXPECT_EQ(library.Download(nullptr, url, target), TransferResult::Downloaded)
            << expected.second << library.LastError().toStdString();
        EXPECT_EQ(Read(target).toStdString(), expected.file) << expected.second;
        EXPECT_EQ(asked, expected.asked) << expected.second;
        QStringList left = Files();
        left.removeAll("autre.pdf");
        EXPECT_EQ(left, QStringList{"e.pdf"}) << expected.second;
    }
    EXPECT_EQ(Read(elsewhere), kEarlier); // the link's target is untouched
}

// One network manager for the library's life: the next editions and the retries ride on the
// connection the first download opened (the server keeps it open between answers).
TEST_F(Transfer, OneConnectionServesEveryDownloadAndRetry) {
    std::mutex mutex;
    std::set<int> clientPorts;
    std::atomic<int> hits{0};
    Route([&](const httplib::Request& request, httplib::Response& r) {
        {
            const std::lock_guard lock(mutex);
            clientPorts.insert(request.remote_port);
        }
        ++hits == 2 ? Unavailable(r, "0") : Serve(r);
    });
    HttpTransferLibrary library(FastTuning());
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
        EXPECT_EQ(library.Download(nullptr, url, folder.filePath(name)), TransferResult::Downloaded)
            << library.LastError().toStdString();
    EXPECT_EQ(hits, 4);
    EXPECT_EQ(clientPorts.size(), 1u);
}

// A server that accepts the request and then says nothing is asked twice, not four times.
TEST_F(Transfer, ASilentServerIsAskedTwice) {
    std::atomic<int> hits{0};
    Route([&](const httplib::Request&, httplib::Response& r) {
        ++hits;
        server.Hold();
        Serve(r);
    });
    TransferTuning tuning = FastTuning();
    tuning.connectTimeout = tuning.stallTimeout = std::chrono::milliseconds(700);
    HttpTransferLibrary library(tuning);
    EXPECT_EQ(library.Download(nullptr, url, target), TransferResult::TimedOut);
    server.Release();
    EXPECT_EQ(hits, 2);
    EXPECT_EQ(library.LastError(), "Le serveur ne répond plus.");
    EXPECT_EQ(Files(), QStringList{"e.pdf"});
}

// The default addresses: nothing is sent, and the message says which setting to fill in.
TEST_F(Transfer, AnArchiveLeftAtItsDefaultAddressIsNotAsked) {
    HttpTransferLibrary library(FastTuning());
    EXPECT_EQ(library.IsConnected("http://pdf.metro.invalid/fr/divers/pdf/e.pdf"), 1);
    EXPECT_EQ(library.Download(nullptr, "http://pdf.metro.invalid/fr/divers/pdf/e.pdf", target),
              TransferResult::NotConfigured);
#ifdef Q_OS_WIN
    const char* const place =
        "le registre, sous la clé HKEY_CURRENT_USER\\Software\\Orvane\\Lectoria\\Adresses, valeur";
#else
    const char* const place = "/Orvane/Lectoria.conf, section [Adresses], clé";
#endif
    for (const char* named : {"Aucune archive n'est configurée", place, "ArchiveMetro", "Archive20minutes",
                              "LECTORIA_METRO_URL", "LECTORIA_20MINUTES_URL"})
        EXPECT_TRUE(library.LastError().contains(QString::fromUtf8(named))) << named;
    EXPECT_EQ(Read(target), kEarlier);
}

// The real writer, failing as a full disk after `room` bytes, or stopping as a power cut before the rename.
class FaultyWriter final : public FileWriter {
public:
    FaultyWriter(const QString& target, qint64 room, bool powerCut) : real_(target), room_(room), powerCut_(powerCut) {}
    bool Open() override { return real_.Open(); }
    bool Write(const char* data, qint64 size) override { return (room_ -= size) >= 0 && real_.Write(data, size); }
    bool Restart() override { return real_.Restart(); }
    bool Commit() override {
        if (!powerCut_)
            return real_.Commit();
        EXPECT_TRUE(real_.Sync());
        real_.Abandon(); // nothing of this process runs after this point
        return false;
    }
    void Discard() override { real_.Discard(); }
    int Failure() const override { return room_ < 0 ? TransferResult::DiskFull : real_.Failure(); }

private:
    PartFileWriter real_;
    qint64 room_;
    bool powerCut_;
};

HttpTransferLibrary FaultyLibrary(qint64 room, bool powerCut) {
    TransferTuning tuning = FastTuning();
    tuning.makeWriter = [=](const QString& target) { return std::make_unique<FaultyWriter>(target, room, powerCut); };
    return HttpTransferLibrary(tuning);
}

TEST_F(Transfer, DiskFullDuringTheBody) {
    ServePdf();
    HttpTransferLibrary library = FaultyLibrary(100, false);
    EXPECT_EQ(library.Download(nullptr, url, target), TransferResult::DiskFull);
    EXPECT_EQ(library.LastError(),
              "Plus de place sur le disque : le fichier n'a pas pu être enregistré dans le dossier " +
                  QDir::toNativeSeparators(folder.path()) + ".");
    EXPECT_EQ(Read(target), kEarlier);
    EXPECT_EQ(Files(), QStringList{"e.pdf"});
}

// The earlier edition is untouched, and the next download replaces the leftover "<target>.part".
TEST_F(Transfer, StopBetweenTheLastWriteAndTheRename) {
    ServePdf();
    EXPECT_NE(FaultyLibrary(1 << 30, true).Download(nullptr, url, target), TransferResult::Downloaded);
    EXPECT_EQ(Read(target), kEarlier);
    EXPECT_EQ(Read(TemporaryFileFor(target)).toStdString(), kPdf);

    EXPECT_EQ(HttpTransferLibrary(FastTuning()).Download(nullptr, url, target), TransferResult::Downloaded);
    EXPECT_EQ(Read(target).toStdString(), kPdf);
    EXPECT_EQ(Files(), QStringList{"e.pdf"});
}

// Refused before any byte is written: nothing is added to the folder.
TEST_F(Transfer, LocalRefusalsNameTheirCause) {
    ServePdf();
    ASSERT_TRUE(QDir().mkpath(folder.filePath("pris.pdf")));
    const struct {
        QString url, target;
        int expected;
        QString error;
    } cases[] = {
        {url, folder.filePath("pris.pdf"), TransferResult::TargetIsFolder,
         "Le nom pris.pdf est déjà pris par un dossier dans " + QDir::toNativeSeparators(folder.path()) + "."},
        {url, folder.filePath("absent/e.pdf"), TransferResult::WriteError,
         "Impossible d'écrire le fichier dans le dossier " + QDir::toNativeSeparators(folder.filePath("absent")) + "."},
        {"ftp://127.0.0.1/e.pdf", folder.filePath("f.pdf"), TransferResult::BadAddress,
         "Adresse refusée : seules les adresses http:// et https:// sont suivies."},
    };
    HttpTransferLibrary library(FastTuning());
    for (const auto& c : cases) {
        EXPECT_EQ(library.Download(nullptr, c.url, c.target), c.expected) << c.target.toStdString();
        EXPECT_EQ(library.LastError(), c.error);
    }
    EXPECT_TRUE(QFileInfo(folder.filePath("pris.pdf")).isDir());
    EXPECT_EQ(Files(), QStringList{"e.pdf"});
}

// Presses `button` of the progress window once it shows (and its status starts with `when`),
// after noting its description and status.
struct WindowPress {
    explicit WindowPress(const char* button, QString when = {}) {
        QObject::connect(&poll, &QTimer::timeout, [this, button, when] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* pressed = window->findChild<QPushButton*>(button);
                if (window->objectName() != "frmTransfert" || !window->isVisible() || !pressed ||
                    !window->findChild<QLabel*>("lbl_Etat")->text().startsWith(when))
                    continue;
                description = window->findChild<QLabel*>("lbl_Description")->text();
                heading = window->findChild<QLabel*>("lbl_Etiquette")->text();
                status = window->findChild<QLabel*>("lbl_Etat")->text();
                poll.stop();
                pressed->click();
            }
        });
        poll.start(10);
    }
    QTimer poll;
    QString description;
    QString heading;
    QString status;
};

TEST_F(Transfer, CancelFromTheWindowButton) {
    Route([this](const httplib::Request&, httplib::Response& r) {
        server.Hold();
        Serve(r);
    });
    TransferTuning tuning = FastTuning();
    tuning.stallTimeout = std::chrono::milliseconds(20000);
    HttpTransferLibrary library(tuning);
    library.SetOption("label", "Téléchargement en cours");
    library.SetOption("description", "Metro édition Paris du 03/05/2007");
    QWidget owner;
    owner.show();
    WindowPress press("cmd_Annuler");
    const int result = library.Download(&owner, url, target);
    server.Release();
    EXPECT_EQ(result, TransferResult::Cancelled);
    EXPECT_EQ(library.LastError(), "Téléchargement annulé.");
    EXPECT_EQ(press.description, "Metro édition Paris du 03/05/2007");
    EXPECT_EQ(Read(target), kEarlier);
    EXPECT_EQ(Files(), QStringList{"e.pdf"});
}

// "Annuler" pressed while the window waits to try again ends the transfer then, not after the pause.
TEST_F(Transfer, CancelDuringTheRetryPause) {
    Route([](const httplib::Request&, httplib::Response& r) { r.status = 503; });
    TransferTuning tuning = FastTuning();
    tuning.firstRetryPause = std::chrono::seconds(60);
    HttpTransferLibrary library(tuning);
    QWidget owner;
    owner.show();
    WindowPress press("cmd_Annuler", "Nouvelle tentative");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(library.Download(&owner, url, target), TransferResult::Cancelled);
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_EQ(press.status, "Nouvelle tentative dans 1 s…");
    EXPECT_EQ(Read(target), kEarlier);
    EXPECT_EQ(Files(), QStringList{"e.pdf"});
}

// The window tells the cause in the very words the command line prints, and waits for "Fermer".
TEST_F(Transfer, TheWindowShowsTheFailureUntilClosed) {
    Route([](const httplib::Request&, httplib::Response& r) { r.status = 404; });
    TransferTuning tuning = FastTuning();
    tuning.waitForCloseOnFailure = true;
    HttpTransferLibrary library(tuning);
    QWidget owner;
    owner.show();
    WindowPress press("cmd_Fermer");
    EXPECT_EQ(library.Download(&owner, url, target), TransferResult::NotFound);
    EXPECT_EQ(press.heading, "Échec du téléchargement");
    press.status.remove(QChar(0x200B));
    EXPECT_EQ(press.status, "Édition introuvable sur le serveur (erreur 404).");
    EXPECT_EQ(press.status, library.LastError());
    EXPECT_EQ(Read(target), kEarlier);
}

// Figures in ko; after a failure, sizes without speed, the whole cause wrapped, and Enter closes.
TEST(ProgressWindow, FailureShowsWholeAndEnterCloses) {
    QWidget owner;
    owner.show();
    const auto view = MakeProgressView(&owner);
    view->Start("Téléchargement en cours", "Metro édition Paris du 03/05/2007");
    view->SetProgress(300 * 1024, 600 * 1024, 100 * 1024);
    QWidget* window = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "frmTransfert")
            window = top;
    ASSERT_NE(window, nullptr);
    auto* figures = window->findChild<QLabel*>("lbl_Chiffres");
    EXPECT_EQ(figures->text(), "300 ko sur 600 ko — 100 ko/s — 4 s restantes");

    const QString cause = "Impossible d'écrire dans le dossier " + QString("/presse").repeated(30) +
                          " : il est en lecture seule ou n'existe plus.";
    bool closedByEnter = false;
    QTimer::singleShot(0, window, [&] {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Return);
        closedByEnter = !window->isVisible();
        if (!closedByEnter) // unblock the wait below, and fail
            window->findChild<QPushButton*>("cmd_Fermer")->click();
    });
    view->ShowFailure("Échec du téléchargement", cause, true);
    EXPECT_TRUE(closedByEnter);
    EXPECT_EQ(figures->text(), "300 ko sur 600 ko");
    auto* status = window->findChild<QLabel*>("lbl_Etat");
    EXPECT_EQ(status->text().remove(QChar(0x200B)), cause);
    EXPECT_GE(status->height(), status->heightForWidth(status->width()));
    EXPECT_LE(status->width(), window->width());
}
