#include "update/history_fetcher.h"

#include "support/qt_printers.h"
#include "support/test_server.h"
#include "update/author_settings.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>

namespace lectoria {
namespace {

using testing_support::TestServer;
using namespace std::chrono_literals;

const std::string kPath = "/divers/download/VB/lctr_hist.txt";

QUrl HistoryUrlOf(const TestServer& server) {
    AuthorSettings author = DefaultAuthorSettings();
    author.AuthorHost = QStringLiteral("127.0.0.1:%1").arg(server.port());
    return HistoryFileUrl(author);
}

struct FetchCase {
    const char* name;
    std::string body;
    int status;
    FetchStatus expected;
    QString text;
};

std::vector<FetchCase> FetchCases() {
    const std::string history = "Historique Lectoria\r\n*1.1.8\tCorrections mineures\r\n";
    return {
        {"Utf8", history + "\xc3\xa9t\xc3\xa9", 200, FetchStatus::Completed,
         QString::fromUtf8(history) + QStringLiteral("été")},
        {"Utf8BomDropped", "\xef\xbb\xbf" + history, 200, FetchStatus::Completed, QString::fromUtf8(history)},
        {"Latin1Fallback", history + "\xe9t\xe9", 200, FetchStatus::Completed,
         QString::fromUtf8(history) + QStringLiteral("été")},
        // A whole answer that ends inside a character is not UTF-8: read as Latin-1, nothing dropped.
        {"EndsInsideACharacter", history + "\xc3", 200, FetchStatus::Completed,
         QString::fromUtf8(history) + QChar(0xC3)},
        {"EmptyBody", "", 200, FetchStatus::Completed, ""},
        {"NotFound", "<html>Historique Lectoria *1.1.8\t</html>", 404, FetchStatus::Failed, ""},
        {"ServerError", "Historique Lectoria *1.1.8\t", 500, FetchStatus::Failed, ""},
    };
}

class FetchTest : public ::testing::TestWithParam<FetchCase> {};

TEST_P(FetchTest, ContentOrFailure) {
    const FetchCase& c = GetParam();
    TestServer server;
    server.routes().Get(kPath, [&c](const httplib::Request&, httplib::Response& r) {
        r.status = c.status;
        r.set_content(c.body, "text/plain");
    });
    NetworkHistoryFetcher fetcher({2s, 1024 * 1024});
    const FetchResult result = fetcher.Fetch(HistoryUrlOf(server));
    EXPECT_EQ(result.status, c.expected);
    EXPECT_EQ(result.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, FetchTest, ::testing::ValuesIn(FetchCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FetchLimits, RefusedConnectionFails) {
    quint16 port = 0;
    {
        QTcpServer closed; // a port that was just free, and is free again
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
        port = closed.serverPort();
    }
    NetworkHistoryFetcher fetcher({2s, 1024});
    const FetchResult result = fetcher.Fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(port)));
    EXPECT_EQ(result.status, FetchStatus::Failed);
}

TEST(FetchLimits, SilentServerTimesOut) {
    TestServer server;
    server.routes().Get(kPath, [&server](const httplib::Request&, httplib::Response& r) {
        server.Hold();
        r.set_content("Historique Lectoria *1.1.8\t", "text/plain");
    });
    NetworkHistoryFetcher fetcher({300ms, 1024});
    QElapsedTimer clock;
    clock.start();
    const FetchResult result = fetcher.Fetch(HistoryUrlOf(server));
    EXPECT_EQ(result.status, FetchStatus::Failed);
    EXPECT_TRUE(result.text.isEmpty());
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST(FetchLimits, LargeBodyIsCutAtTheLimit) {
    const std::string head = "Historique Lectoria\r\n*1.2.0\t";
    std::string body = head + std::string(5 * 1024 * 1024, 'x');
    body[1024 * 1024 - 1] = '\xc3'; // a character split by the limit does not spoil the whole text
    body[1024 * 1024] = '\xa9';
    TestServer server;
    server.routes().Get(kPath,
                        [&body](const httplib::Request&, httplib::Response& r) { r.set_content(body, "text/plain"); });
    NetworkHistoryFetcher fetcher({10s, 1024 * 1024});
    const FetchResult result = fetcher.Fetch(HistoryUrlOf(server));
    ASSERT_EQ(result.status, FetchStatus::Completed);
    EXPECT_EQ(result.text.size(), 1024 * 1024 - 1);
    EXPECT_TRUE(result.text.startsWith(QString::fromUtf8(head)));
}

TEST(FetchLimits, CancelFromTheEventLoopEndsTheWait) {
    TestServer server;
    server.routes().Get(kPath, [&server](const httplib::Request&, httplib::Response& r) {
        server.Hold();
        r.set_content("Historique Lectoria *1.1.8\t", "text/plain");
    });
    NetworkHistoryFetcher fetcher({10s, 1024});
    QTimer::singleShot(50ms, [&fetcher] { fetcher.Cancel(); });
    QElapsedTimer clock;
    clock.start();
    const FetchResult result = fetcher.Fetch(HistoryUrlOf(server));
    EXPECT_EQ(result.status, FetchStatus::Cancelled);
    EXPECT_LT(clock.elapsed(), 5000);
}

struct HostCase {
    const char* value;
    const char* host; // nullptr: the default is kept and a complaint is made
};

TEST(AuthorSettingsTest, HostFromTheEnvironment) {
    const HostCase cases[] = {
        {"", nullptr},
        {"127.0.0.1:8080", "127.0.0.1:8080"},
        {"www.exemple.example", "www.exemple.example"},
        {"http://www.exemple.example", nullptr},
        {"www.exemple.example/", nullptr},
        {"www.exemple.example/page", nullptr},
        {"moi@www.exemple.example", nullptr},
        {"www exemple", nullptr},
    };
    for (const HostCase& c : cases) {
        SCOPED_TRACE(c.value);
        QStringList complaints;
        const AuthorSettings settings = LoadAuthorSettings(
            [&c](const char* name) {
                return std::string(name) == kAuthorHostVariable ? QString::fromUtf8(c.value) : QString();
            },
            [&complaints](const QString& line) { complaints << line; });
        const QString expected = c.host ? QString::fromUtf8(c.host) : DefaultAuthorSettings().AuthorHost;
        EXPECT_EQ(settings.AuthorHost, expected);
        EXPECT_EQ(complaints.size(), (c.host || !*c.value) ? 0 : 1);
        EXPECT_TRUE(DefaultAuthorSettings().AuthorHost.endsWith(".invalid"));
    }
}

} // namespace
} // namespace lectoria
