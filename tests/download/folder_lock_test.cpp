// The folder lock as the kernel keeps it: what a dead run left never blocks, a live holder always
// does, and a lock that cannot be taken is said, never skipped.
#include "download/folder_lock.h"
#include "download_doubles.h"
#include "support/test_files.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

using namespace lectoria;
using namespace lectoria::testing_support;
using namespace std::chrono_literals;

namespace {

// Whether the file rights bind this process at all (root writes any file).
bool RightsAreIgnoredHere() {
#ifdef _WIN32
    return false;
#else
    return geteuid() == 0;
#endif
}

class FolderLock : public testing::Test {
protected:
    QTemporaryDir folder;
    QString LockFile() const { return folder.filePath(kLockFileName); }
};

} // namespace

// Whatever a killed run left in the lock file (nothing, a Qt lock file's pid and host, garbage),
// the next run takes the lock at once; released, the folder is as it was.
TEST_F(FolderLock, WhatADeadRunLeftNeverBlocks) {
    for (const QByteArray& left :
         {QByteArray(), QByteArray("999999\nlectoria-cli\nhote\n"), QByteArray("\x00\xff garbage", 10)}) {
        Write(LockFile(), left);
        QElapsedTimer clock;
        clock.start();
        {
            const auto hold = SystemFolderLocks().Take(folder.path(), 30s);
            ASSERT_NE(hold, nullptr) << left.toHex().toStdString();
            EXPECT_EQ(hold->Refusal(), "");
            EXPECT_TRUE(QFile::exists(LockFile()));
        }
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_FALSE(QFile::exists(LockFile()));
    }
}

// Left by another user's run in a shared folder, the lock file cannot be opened for writing
// here: it still locks the folder, and never blocks it.
TEST_F(FolderLock, ALockFileThatIsNotWritableHereStillLocks) {
    if (RightsAreIgnoredHere())
        GTEST_SKIP() << "root writes any file: the scripts run this test again as an ordinary user";
    Write(LockFile(), QByteArray());
    ASSERT_TRUE(QFile::setPermissions(LockFile(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    const auto hold = SystemFolderLocks().Take(folder.path(), 0ms);
    ASSERT_NE(hold, nullptr);
    EXPECT_EQ(hold->Refusal(), "");
    EXPECT_EQ(SystemFolderLocks().Take(folder.path(), 0ms), nullptr);
}

// Held here, or by another live process (flock(1)), the lock stays taken until it is let go.
TEST_F(FolderLock, ALiveHolderBlocksUntilItLetsGo) {
    {
        const auto first = SystemFolderLocks().Take(folder.path(), 0ms);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(SystemFolderLocks().Take(folder.path(), 100ms), nullptr);
    }
    const QString flock = QStandardPaths::findExecutable("flock");
    if (flock.isEmpty())
        GTEST_SKIP() << "flock(1) is missing";
    QProcess holder; // takes the lock, says so, and keeps it until its input closes
    holder.start(flock, {LockFile(), "-c", "echo pris; read fin"});
    ASSERT_TRUE(holder.waitForReadyRead(10000)) << holder.readAllStandardError().toStdString();
    EXPECT_EQ(SystemFolderLocks().Take(folder.path(), 200ms), nullptr);
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(10000));
    const auto after = SystemFolderLocks().Take(folder.path(), 10s);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->Refusal(), "");
}

// A name the lock cannot use is said; a missing folder is left to the folder check.
TEST_F(FolderLock, ALockThatCannotBeTakenIsSaid) {
    const QString elsewhere = folder.filePath("ailleurs");
    ASSERT_TRUE(QFile::link(elsewhere, LockFile()));
    const auto throughLink = SystemFolderLocks().Take(folder.path(), 0ms);
    ASSERT_NE(throughLink, nullptr);
    EXPECT_TRUE(throughLink->Refusal().startsWith("Impossible de verrouiller le dossier " + folder.path() +
                                                  " avec le fichier .lectoria.lock : "))
        << throughLink->Refusal().toStdString();
    EXPECT_FALSE(QFile::exists(elsewhere)); // the link was not followed
    ASSERT_TRUE(QFile::remove(LockFile()) && QDir(folder.path()).mkdir(kLockFileName));
    const auto folderNamed = SystemFolderLocks().Take(folder.path(), 0ms);
    ASSERT_NE(folderNamed, nullptr);
    EXPECT_NE(folderNamed->Refusal(), "");

    const auto missing = SystemFolderLocks().Take(folder.filePath("absent"), 0ms);
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->Refusal(), "");

    // Through a transfer: nothing is fetched, and the reason is the download's failure.
    RecordingTransfer inner;
    QString told;
    FolderLockedTransfer transfer(inner, SystemFolderLocks(), 0ms, [&told](const QString& text) { told = text; });
    EXPECT_EQ(transfer.Download(nullptr, "http://x/a.pdf", folder.filePath("a.pdf")), TransferResult::WriteError);
    EXPECT_TRUE(inner.calls.isEmpty());
    EXPECT_EQ(transfer.LastError(), folderNamed->Refusal());
    EXPECT_EQ(told, folderNamed->Refusal());
}
