// What Windows does differently to the files of a download: a reader holding the edition open
// without sharing it, a refusal of rights that looks the same to MoveFileEx, and the hidden mark
// on the program's own files, which Explorer would otherwise show beside the editions.
#include "fast_tuning.h"
#include "sample_pdf.h"
#include "storage/own_files.h"
#include "support/qt_printers.h"
#include "support/test_answers.h"
#include "support/test_files.h"
#include "support/test_server.h"
#include "transfer/file_writer.h"
#include "transfer/http_transfer_library.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <windows.h>

#include <string>

using namespace lectoria;
using lectoria::testing_support::Read;
using lectoria::testing_support::ServeCut;
using lectoria::testing_support::TestServer;
using lectoria::testing_support::Write;

namespace {

const std::string kPdf = tools::MakeSamplePdf("Metro - Paris - 03/05/2007");
const QByteArray kEarlier("%PDF-1.4 earlier edition %%EOF");

std::wstring Wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

DWORD AttributesOf(const QString& path) {
    return ::GetFileAttributesW(Wide(path).c_str());
}

class WindowsFiles : public testing::Test {
protected:
    void SetUp() override {
        Write(target, kEarlier);
        server.routes().Get("/e.pdf", [this](const httplib::Request&, httplib::Response& r) {
            r.set_header("ETag", "\"v1\"");
            if (cut)
                return ServeCut(r, kPdf, kPdf.size(), 300);
            r.set_content(kPdf, "application/pdf");
        });
    }
    QStringList Files() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }

    TestServer server;
    QTemporaryDir folder;
    const QString url = QString::fromStdString(server.url("/e.pdf"));
    const QString target = folder.filePath("e.pdf");
    bool cut = false;
};

} // namespace

// A PDF reader keeps its file open, sharing its reading only: the edition cannot be replaced
// until it is closed. The user is told so, not sent looking for a rights problem; the old file
// stays whole and nothing is left beside it. Once the reader lets go, the download goes through.
TEST_F(WindowsFiles, AnEditionHeldOpenByAReaderIsNamedAsSuch) {
    const HANDLE reader = ::CreateFileW(Wide(target).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HttpTransferLibrary library(FastTuning());
    EXPECT_EQ(library.Download(nullptr, url, target), TransferResult::FileInUse);
    EXPECT_EQ(library.LastError(), "Le fichier " + QDir::toNativeSeparators(target) +
                                       " est ouvert dans un autre programme : fermez-le, puis téléchargez à nouveau.");
    EXPECT_EQ(Read(target), kEarlier);
    EXPECT_EQ(Files(), QStringList{"e.pdf"});
    ::CloseHandle(reader);

    EXPECT_EQ(library.Download(nullptr, url, target), TransferResult::Downloaded) << library.LastError().toStdString();
    EXPECT_EQ(Read(target).toStdString(), kPdf);
    EXPECT_EQ(AttributesOf(target) & FILE_ATTRIBUTE_HIDDEN, 0u); // the edition is shown like any other
}

// MoveFileEx answers "access denied" for a read-only edition too (Wine replaces it all the same):
// only another program's open handle counts as holding the file, whatever its attributes.
TEST_F(WindowsFiles, OnlyAnOpenHandleElsewhereHoldsTheFile) {
    EXPECT_FALSE(HeldOpenElsewhere(target));
    ASSERT_TRUE(::SetFileAttributesW(Wide(target).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(HeldOpenElsewhere(target));
    ::SetFileAttributesW(Wide(target).c_str(), FILE_ATTRIBUTE_NORMAL);
    const HANDLE sharing =
        ::CreateFileW(Wide(target).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(sharing, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(HeldOpenElsewhere(target)); // asked without sharing, even a sharing reader is in the way
    ::CloseHandle(sharing);
    EXPECT_FALSE(HeldOpenElsewhere(target));
    EXPECT_FALSE(HeldOpenElsewhere(folder.filePath("absent.pdf")));
}

// What a cut transfer leaves for the next run carries the hidden mark, as the folder's lock does.
TEST_F(WindowsFiles, TheProgramsOwnFilesAreHidden) {
    cut = true;
    TransferTuning once = FastTuning();
    once.maxRetries = 0;
    EXPECT_EQ(HttpTransferLibrary(once).Download(nullptr, url, target), TransferResult::Truncated);
    for (const QString& own : {TemporaryFileFor(target), ValidatorFileFor(target)}) {
        ASSERT_NE(AttributesOf(own), INVALID_FILE_ATTRIBUTES) << own.toStdString();
        EXPECT_NE(AttributesOf(own) & FILE_ATTRIBUTE_HIDDEN, 0u) << own.toStdString();
    }
    EXPECT_EQ(AttributesOf(target) & FILE_ATTRIBUTE_HIDDEN, 0u);
}
