// Downloads in a row in one process give back every descriptor they open.
#include "open_handles.h"
#include "sample_pdf.h"
#include "support/test_server.h"
#include "transfer/http_transfer_library.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

using namespace lectoria;

TEST(TransferSoak, TwoHundredDownloadsLeaveNoDescriptorBehind) {
    const std::string pdf = tools::MakeSamplePdf("Metro - Paris - 03/05/2007");
    testing_support::TestServer server;
    server.routes().Get("/e.pdf",
                        [&pdf](const auto&, auto& response) { response.set_content(pdf, "application/pdf"); });
    QTemporaryDir folder;
    const QString target = QDir(folder.path()).filePath(QStringLiteral("e.pdf"));
    const QString url = QString::fromStdString(server.url("/e.pdf"));
    HttpTransferLibrary library;

    // The first download loads what Qt keeps for the whole process.
    ASSERT_EQ(library.Download(nullptr, url, target), TransferResult::Downloaded);
    const long before = testing_support::OpenHandleCount();
    ASSERT_GE(before, 0);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(library.Download(nullptr, url, target), TransferResult::Downloaded) << "download " << i;
    // A few server-side sockets may still be closing; a leak would show one per download.
    EXPECT_LE(testing_support::OpenHandleCount(), before + 8);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("e.pdf")});
}
