#include "download/folder_lock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace lectoria {

namespace {

class LockFileHold final : public FolderLockHold {
public:
    explicit LockFileHold(std::unique_ptr<QLockFile> file) : file_(std::move(file)) {}
    ~LockFileHold() override {
        if (QFileInfo::exists(file_->fileName()))
            return;
        // The folder went away with its lock file during the download: the download has said
        // so already, and Qt's own complaint that it cannot remove the file would only garble
        // that message on the command line. Nothing else in the program installs a handler, so
        // the one in place is put back as it was.
        const QtMessageHandler previous = qInstallMessageHandler(IgnoreMessage);
        file_.reset();
        qInstallMessageHandler(previous);
    }

private:
    static void IgnoreMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

    std::unique_ptr<QLockFile> file_; // unlocks and removes the file when destroyed
};

class NoHold final : public FolderLockHold {};

class LockFileLocks final : public FolderLocks {
public:
    std::unique_ptr<FolderLockHold> Take(const QString& folder, std::chrono::milliseconds wait) override {
        if (folder.isEmpty())
            return std::make_unique<NoHold>(); // refused by the action's folder check anyway
        auto file = std::make_unique<QLockFile>(QDir(folder).filePath(kLockFileName));
        // Where the file system has no native locks, staleness by age would hand a slow
        // download's lock to a second run (and a clock set back or forward makes any age
        // meaningless); a dead owner is still detected.
        file->setStaleLockTime(0);
        if (file->tryLock(static_cast<int>(wait.count())))
            return std::make_unique<LockFileHold>(std::move(file));
        if (file->error() == QLockFile::LockFailedError)
            return nullptr;
        return std::make_unique<NoHold>(); // read-only or missing folder: nothing to protect here
    }
};

} // namespace

FolderLocks& SystemFolderLocks() {
    static LockFileLocks locks;
    return locks;
}

std::chrono::milliseconds LockWait(std::chrono::milliseconds standard) {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("LECTORIA_ATTENTE_VERROU", &ok);
    return ok && seconds >= 0 ? std::chrono::milliseconds(seconds * 1000LL) : standard;
}

QString FolderBusyMessage(const QString& folder, std::chrono::milliseconds waited) {
    return QStringLiteral("Un autre téléchargement de Lectoria est en cours dans le dossier %1 "
                          "(encore occupé après %2 s d'attente). Réessayez plus tard ; si aucun autre "
                          "Lectoria ne tourne, supprimez le fichier %3.")
        .arg(QDir::toNativeSeparators(folder))
        .arg(waited.count() / 1000)
        .arg(kLockFileName);
}

FolderLockedTransfer::FolderLockedTransfer(TransferLibrary& inner, FolderLocks& locks, std::chrono::milliseconds wait,
                                           std::function<void(const QString&)> onBusy)
    : inner_(inner), locks_(locks), wait_(wait), onBusy_(std::move(onBusy)) {}

void FolderLockedTransfer::ClearFiles() {
    busy_.clear();
    inner_.ClearFiles();
}

int FolderLockedTransfer::Download(QWidget* owner, const QString& url, const QString& file) {
    busy_.clear();
    const QString folder = QFileInfo(file).absolutePath();
    const auto hold = locks_.Take(folder, wait_);
    if (!hold) {
        busy_ = FolderBusyMessage(folder, wait_);
        if (onBusy_)
            onBusy_(busy_);
        return kFolderBusy;
    }
    return inner_.Download(owner, url, file);
}

} // namespace lectoria
