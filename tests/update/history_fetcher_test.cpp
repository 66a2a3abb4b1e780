#include "update/history_fetcher.h"

#include "support/qt_printers.h"
#include "support/test_server.h"
#include "update/author_settings.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

namespace lectoria {
namespace {

using testing_support::TestServer;
using namespace std::chrono_literals;

const std::string kPath = "/divers/download/VB/lctr_hist.txt";

QUrl HistoryUrlOf(int port) {
    AuthorSettings author = DefaultAuthorSettings();
    author.AuthorHost = QStringLiteral("127.0.0.1:%1").arg(port);
    return HistoryFileUrl(author);
}

enum Server { Answers, Holds, Absent }; // Holds: the answer never comes before the fetch ends

struct FetchCase {
    const char* name;
    Server server;
    std::string body;
    int status;
    FetchStatus expected;
    QString text;
    bool cancel = false; // from the event loop, while the fetch waits
};

// Named in ctest's listing and in failures by its case name, not by a dump of its bytes.
void PrintTo(const FetchCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<FetchCase> FetchCases() {
    const std::string history = "Historique Lectoria\r\n*1.1.8\tCorrections mineures\r\n";
    const std::string page = "Historique Lectoria *1.1.8\t";
    return {
        {"Utf8", Answers, history + "\xc3\xa9t\xc3\xa9", 200, FetchStatus::Completed,
         QString::fromUtf8(history) + QStringLiteral("été")},
        {"Utf8BomDropped", Answers, "\xef\xbb\xbf" + history, 200, FetchStatus::Completed, QString::fromUtf8(history)},
        {"Latin1Fallback", Answers, history + "\xe9t\xe9", 200, FetchStatus::Completed,
         QString::fromUtf8(history) + QStringLiteral("été")},
        // A whole answer that ends inside a character is not UTF-8: read as Latin-1, nothing dropped.
        {"EndsInsideACharacter", Answers, history + "\xc3", 200, FetchStatus::Completed,
         QString::fromUtf8(history) + QChar(0xC3)},
        {"EmptyBody", Answers, "", 200, FetchStatus::Completed, ""},
        {"NotFound", Answers, "<html>" + page + "</html>", 404, FetchStatus::Failed, ""},
        {"SilentServerTimesOut", Holds, page, 200, FetchStatus::Failed, ""},
        {"CancelEndsTheWait", Holds, page, 200, FetchStatus::Cancelled, "", true},
        {"RefusedConnection", Absent, page, 200, FetchStatus::Failed, ""},
    };
}

class FetchTest : public ::testing::TestWithParam<FetchCase> {};

TEST_P(FetchTest, ContentOrFailureWithinItsBound) {
    const FetchCase& c = GetParam();
    TestServer server;
    server.routes().Get(kPath, [&](const httplib::Request&, httplib::Response& r) {
        if (c.server == Holds)
            server.Hold();
        r.status = c.status;
        r.set_content(c.body, "text/plain");
    });
    const int port = c.server == Absent ? TestServer().port() : server.port(); // a port free again
    NetworkHistoryFetcher fetcher({c.cancel ? 10s : 1s, 1024 * 1024});
    if (c.cancel)
        QTimer::singleShot(50ms, [&fetcher] { fetcher.Cancel(); });
    QElapsedTimer clock;
    clock.start();
    const FetchResult result = fetcher.Fetch(HistoryUrlOf(port));
    EXPECT_EQ(result.status, c.expected);
    EXPECT_EQ(result.text, c.text);
    EXPECT_LT(clock.elapsed(), 5000);
}

INSTANTIATE_TEST_SUITE_P(Cases, FetchTest, ::testing::ValuesIn(FetchCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FetchLimits, LargeBodyIsCutAtTheLimit) {
    const std::string head = "Historique Lectoria\r\n*1.2.0\t";
    std::string body = head + std::string(5 * 1024 * 1024, 'x');
    body[1024 * 1024 - 1] = '\xc3'; // a character split by the limit does not spoil the whole text
    body[1024 * 1024] = '\xa9';
    TestServer server;
    server.routes().Get(kPath,
                        [&body](const httplib::Request&, httplib::Response& r) { r.set_content(body, "text/plain"); });
    NetworkHistoryFetcher fetcher({10s, 1024 * 1024});
    const FetchResult result = fetcher.Fetch(HistoryUrlOf(server.port()));
    ASSERT_EQ(result.status, FetchStatus::Completed);
    EXPECT_EQ(result.text.size(), 1024 * 1024 - 1);
    EXPECT_TRUE(result.text.startsWith(QString::fromUtf8(head)));
}

// A refused host is named in one complaint (none when empty), and the system-wide key is used.
TEST(AuthorSettingsTest, HostFromTheFirstSourceHoldingAValidOne) {
    const auto holding = [](std::function<bool(const ConfigurableValue&)> asked, const QString& value) {
        return ConfigurationSource{[=](const ConfigurableValue& v) { return asked(v) ? value : QString(); },
                                   [](const ConfigurableValue&) { return QStringLiteral("la source"); }};
    };
    const ConfigurationSource system =
        holding([](const ConfigurableValue& v) { return v.key == kAuthorHostKey; }, "hote-systeme.example");
    EXPECT_TRUE(DefaultAuthorSettings().AuthorHost.endsWith(".invalid"));
    for (const QString value :
         {"", "127.0.0.1:8080", "www.exemple.example", "http://www.exemple.example", "www.exemple.example/",
          "www.exemple.example/page", "moi@www.exemple.example", "www exemple"}) {
        SCOPED_TRACE(value.toStdString());
        const ConfigurationSource variable =
            holding([](const ConfigurableValue& v) { return std::string(v.variable) == kAuthorHostVariable; }, value);
        QStringList complaints;
        const AuthorSettings settings =
            LoadAuthorSettings({variable, system}, [&complaints](const QString& line) { complaints << line; });
        const bool taken = value == "127.0.0.1:8080" || value == "www.exemple.example";
        EXPECT_EQ(settings.AuthorHost, taken ? value : QStringLiteral("hote-systeme.example"));
        EXPECT_EQ(complaints.size(), (taken || value.isEmpty()) ? 0 : 1);
    }
}

} // namespace
} // namespace lectoria
