#include "rules/version.h"
#include "support/doubles.h"
#include "support/qt_printers.h"
#include "support/test_server.h"
#include "update/update_check.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>

namespace lectoria {
namespace {

using testing_support::RecordingMessages;
using testing_support::RecordingOpener;
using testing_support::TestServer;

class QuietView final : public UpdateView {
public:
    void ShowProgressText(const QString&) override {}
    void ShowProgressValue(int) override {}
    void SetBusyCursor(bool) override {}
    void ProcessPendingEvents() override { QCoreApplication::processEvents(); }
};

// The history file that the build writes for the update server (the project's version), served
// from 127.0.0.1 at its address: the program just built (its own version text) is up to date.
// A version bumped in one place and not the other fails here, before the file is published.
TEST(PublishedHistory, TheBuiltProgramFindsItselfUpToDate) {
    QFile file(QStringLiteral(LECTORIA_HISTORY_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << LECTORIA_HISTORY_FILE;
    const std::string bytes = file.readAll().toStdString();
    TestServer server;
    server.routes().Get("/divers/download/VB/lctr_hist.txt",
                        [&](const httplib::Request&, httplib::Response& r) { r.set_content(bytes, "text/plain"); });
    AuthorSettings author = DefaultAuthorSettings();
    author.AuthorHost = QStringLiteral("127.0.0.1:%1").arg(server.port());
    RecordingMessages messages;
    RecordingOpener opener;
    {
        QuietView view;
        NetworkHistoryFetcher fetcher; // gone, with its kept connection, before the server stops
        UpdateCheck check(view, fetcher, messages, opener, author, VersionText());
        check.Run();
    }

    EXPECT_EQ(messages.shown, QStringList{UpdateTexts::UpToDateMessage(VersionText()) + QStringLiteral("|64|") +
                                          UpdateTexts::UpdateTitle});
    EXPECT_TRUE(opener.opened.empty());
    server.Stop();
}

} // namespace
} // namespace lectoria
