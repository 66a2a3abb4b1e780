// The catch-up, the window's single download and the update check against a real HTTP/2 server
// (Debian's nginx, over TLS with an authority of the test's own), on Wednesday 9 May 2007: every
// edition on one connection, and the guarantees of HTTP/1.1 kept there too.
#include "catchup/catch_up.h"

#include "download/download_action.h"
#include "storage/storage_doubles.h"
#include "support/nginx_server.h"
#include "support/qt_printers.h"
#include "support/test_authority.h"
#include "support/test_files.h"
#include "transfer/http_transfer_library.h"
#include "update/history_fetcher.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QSet>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

using namespace lectoria;
using namespace lectoria::catchup;
using lectoria::testing::FakeDrives;
using testing_support::Authority;
using testing_support::NginxServer;
using testing_support::Read;
using testing_support::Write;

namespace {

const QDate kToday(2007, 5, 9);

QByteArray EditionPdf(int number, int kilobytes = 40) {
    return "%PDF-1.4\n% edition " + QByteArray::number(number) + '\n' + QByteArray(kilobytes * 1024, 'x') + "\n%%EOF\n";
}

TransferTuning QuickTuning() {
    TransferTuning tuning;
    tuning.connectTimeout = std::chrono::seconds(2);
    tuning.stallTimeout = std::chrono::seconds(2);
    tuning.firstRetryPause = std::chrono::milliseconds(10);
    tuning.maxRetries = 1;
    tuning.waitForCloseOnFailure = false;
    tuning.showProgress = false;
    return tuning;
}

// nginx with the archive's folder, trusted through SSL_CERT_FILE.
class Http2 : public ::testing::Test {
protected:
    void SetUp() override {
        if (NginxServer::Program().isEmpty())
            GTEST_SKIP() << "nginx is not installed (package nginx-light)";
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "Qt has no TLS backend here";
        qputenv("SSL_CERT_FILE", authority.rootFile.toUtf8());
        server =
            std::make_unique<NginxServer>(archive.path(), authority.Issue("archive", "IP:127.0.0.1", -1, 30), extra);
        ASSERT_TRUE(server->Ready()) << server->Output().toStdString();
        archives = {server->Url("/fr/divers/pdf/"), server->Url("/20m/")};
    }
    void TearDown() override { qunsetenv("SSL_CERT_FILE"); }

    QString Served(const QString& url) const { return archive.filePath(QUrl(url).path().mid(1)); }
    void Publish(const QString& url, const QByteArray& content) const {
        QDir().mkpath(QFileInfo(Served(url)).path());
        Write(Served(url), content);
    }
    QList<EditionReport> CatchUp() {
        QList<EditionReport> reports;
        FakeDrives drives;
        SystemFileLookup files;
        CatchUpServices services{drives, files, library, archives};
        RunCatchUp(
            PlanCatchUp({"Metro", "20 minutes"}, {"Paris"}, kToday, std::nullopt), folder.path(), kToday, services,
            [&](const EditionReport& report) { reports << report; }, &library);
        return reports;
    }
    QStringList Leftovers() const {
        return QDir(folder.path()).entryList({"*.part", "*.validateur"}, QDir::Files | QDir::Hidden);
    }

    QString extra; // set before SetUp for a server block of its own
    Authority authority;
    QTemporaryDir archive;
    QTemporaryDir folder;
    std::unique_ptr<NginxServer> server;
    ArchiveSettings archives;
    HttpTransferLibrary library{QuickTuning()};
};

} // namespace

// Every edition comes on one connection, all at once; the report keeps the editions' order and
// names each outcome: missing, a web page in its place, a file that is not a PDF (which leaves the
// damaged copy already there as it was), fetched.
TEST_F(Http2, CatchUpTakesEveryEditionOnOneConnection) {
    const QList<EditionReport> first = CatchUp(); // an empty archive: each one unpublished
    ASSERT_GE(first.size(), 10);
    for (const EditionReport& report : first)
        EXPECT_EQ(report.status, EditionStatus::NotPublished)
            << report.file.toStdString() << report.error.toStdString();
    const QString missing = first[1].url, webPage = first[2].url, notPdf = first[3].url;
    for (int i = 0; i < first.size(); ++i)
        if (first[i].url != missing)
            Publish(first[i].url, EditionPdf(i));
    Write(Served(webPage), "<!DOCTYPE html><html><body>Pas encore paru</body></html>");
    Write(Served(notPdf), "pas un PDF");
    const QByteArray damaged = "%PDF-1.4\n% coupé en route";
    Write(first[3].file, damaged); // a damaged copy, fetched again, which a failure leaves as it is
    const qsizetype requestsBefore = server->Requests().size();

    const QList<EditionReport> second = CatchUp();
    ASSERT_EQ(second.size(), first.size());
    for (int i = 0; i < second.size(); ++i) {
        EXPECT_EQ(second[i].edition.day, first[i].edition.day);
        EXPECT_EQ(second[i].edition.paper, first[i].edition.paper);
        const QString& url = second[i].url;
        if (url == missing || url == webPage) {
            EXPECT_EQ(second[i].status, EditionStatus::NotPublished) << url.toStdString();
        } else if (url == notPdf) {
            EXPECT_EQ(second[i].status, EditionStatus::Failed);
            EXPECT_EQ(second[i].error, "Le serveur n'a pas envoyé un fichier PDF.");
            EXPECT_EQ(Read(second[i].file), damaged);
        } else {
            EXPECT_EQ(second[i].status, EditionStatus::Fetched) << second[i].error.toStdString();
            EXPECT_EQ(Read(second[i].file), EditionPdf(i));
        }
    }
    const QList<testing_support::LoggedRequest> requests = server->Requests().mid(requestsBefore);
    QSet<QString> connections;
    for (const auto& request : requests) {
        connections.insert(request.connection);
        EXPECT_EQ(request.protocol, "HTTP/2.0");
    }
    EXPECT_EQ(requests.size(), second.size());
    EXPECT_EQ(connections.size(), 1);
    EXPECT_EQ(Leftovers(), QStringList());
}

// What an interrupted run left is continued with Range and If-Range over HTTP/2 too, through the
// window's single download; a file changed on the server since then comes whole.
TEST_F(Http2, AnInterruptedDownloadIsContinued) {
    const QString url = server->Url("/fr/divers/pdf/2007/05/09/FRPAR_2007_05_09.pdf");
    const QByteArray whole = EditionPdf(1, 200);
    Publish(url, whole);
    const QString target = folder.filePath("20070509_Metro_Paris.pdf");
    ASSERT_EQ(library.Download(nullptr, url, target), TransferResult::Downloaded) << library.LastError().toStdString();
    QFile::remove(target);
    // A run cut short: half the file, and the validator of the file it came from (nginx's ETag:
    // its modification time and size in hexadecimal).
    const QFileInfo served(Served(url));
    const QByteArray validator = '"' + QByteArray::number(served.lastModified().toSecsSinceEpoch(), 16) + '-' +
                                 QByteArray::number(served.size(), 16) + '"';
    Write(target + ".part", whole.left(whole.size() / 2));
    Write(target + ".part.validateur", validator + '\n' + QByteArray::number(whole.size()) + '\n');

    ASSERT_EQ(library.Download(nullptr, url, target), TransferResult::Downloaded) << library.LastError().toStdString();
    EXPECT_EQ(Read(target), whole);
    const auto requests = server->Requests();
    EXPECT_EQ(requests.last().status, 206);
    EXPECT_EQ(requests.last().range, "bytes=" + QString::number(whole.size() / 2) + "-");
    EXPECT_EQ(requests.last().protocol, "HTTP/2.0");
    EXPECT_EQ(Leftovers(), QStringList());
}

// A stream that stays silent on the shared connection ends at its own time limit, named, while
// the others go on; nothing is left of it.
class Http2Silent : public Http2 {
protected:
    void SetUp() override {
        silence.listen(QHostAddress::LocalHost); // connections wait in its backlog, never answered
        extra = QStringLiteral("location /silence/ { proxy_pass http://127.0.0.1:%1; proxy_read_timeout 60s; }")
                    .arg(silence.serverPort());
        Http2::SetUp();
    }
    QTcpServer silence;
};

TEST_F(Http2Silent, ASilentStreamTimesOutAloneAndNamed) {
    const QString url = server->Url("/20m/20070509_PAR.pdf");
    Publish(url, EditionPdf(1));
    std::optional<std::pair<int, QString>> silent, answered;
    QEventLoop loop;
    const auto ended = [&] {
        if (silent && answered)
            loop.quit();
    };
    library.Start(server->Url("/silence/e.pdf"), folder.filePath("silence.pdf"), [&](int result, const QString& error) {
        silent = {result, error};
        ended();
    });
    library.Start(url, folder.filePath("e.pdf"), [&](int result, const QString& error) {
        answered = {result, error};
        ended();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_TRUE(silent && answered);
    EXPECT_EQ(answered->first, TransferResult::Downloaded) << answered->second.toStdString();
    EXPECT_EQ(silent->first, TransferResult::TimedOut);
    EXPECT_EQ(silent->second, "Le serveur ne répond plus.");
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("silence.pdf")));
    EXPECT_EQ(Leftovers(), QStringList());
}

// The update check reads the history file over HTTP/2 (the system's authorities stand for ours).
TEST_F(Http2, UpdateCheckReadsTheHistoryFile) {
    const QByteArray history = "Historique Lectoria\r\n*1.1.9\tCorrections\r\n";
    Publish(server->Url("/divers/download/VB/lctr_hist.txt"), history);
    const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusted = before;
    trusted.setCaCertificates(QSslCertificate::fromPath(authority.rootFile));
    QSslConfiguration::setDefaultConfiguration(trusted);
    NetworkHistoryFetcher fetcher;
    const FetchResult result = fetcher.Fetch(QUrl(server->Url("/divers/download/VB/lctr_hist.txt")));
    QSslConfiguration::setDefaultConfiguration(before);
    EXPECT_EQ(result.status, FetchStatus::Completed);
    EXPECT_EQ(result.text, QString::fromUtf8(history));
    EXPECT_EQ(server->Requests().last().protocol, "HTTP/2.0");
}
