#include "download/folder_lock.h"

#include "download/folder_lock_native.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <string>

namespace lectoria {

namespace {

#ifdef Q_OS_WIN
using NativePath = std::wstring;
NativePath NativePathOf(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}
#else
using NativePath = QByteArray;
NativePath NativePathOf(const QString& path) {
    return QFile::encodeName(path);
}
#endif

class KernelLockHold final : public FolderLockHold {
public:
    KernelLockHold(std::intptr_t handle, NativePath path) : handle_(handle), path_(std::move(path)) {}
    ~KernelLockHold() override { ReleaseNativeLock(handle_, path_.data(), true); }
    KernelLockHold(const KernelLockHold&) = delete;
    KernelLockHold& operator=(const KernelLockHold&) = delete;

private:
    std::intptr_t handle_;
    NativePath path_;
};

class NoHold final : public FolderLockHold {};

class RefusedHold final : public FolderLockHold {
public:
    explicit RefusedHold(QString why) : why_(std::move(why)) {}
    QString Refusal() const override { return why_; }

private:
    QString why_;
};

QString LockRefusal(const QString& folder, NativeLockStatus status, int error) {
    QString cause;
    switch (status) {
    case NativeLockStatus::Denied:
        cause = QStringLiteral("permission refusée");
        break;
    case NativeLockStatus::ReadOnly:
        cause = QStringLiteral("le système de fichiers est en lecture seule");
        break;
    case NativeLockStatus::NoSpace:
        cause = QStringLiteral("plus de place sur le disque");
        break;
    case NativeLockStatus::Unsupported:
        cause = QStringLiteral("ce système de fichiers ne sait pas verrouiller un fichier");
        break;
    case NativeLockStatus::NotAFile:
        cause = QStringLiteral("ce nom est déjà pris par un lien, un dossier ou un fichier spécial");
        break;
    default:
        cause = QStringLiteral("erreur système %1").arg(error);
        break;
    }
    return QStringLiteral("Impossible de verrouiller le dossier %1 avec le fichier %2 : %3.")
        .arg(QDir::toNativeSeparators(folder), kLockFileName, cause);
}

// The kernel's lock on ".lectoria.lock": released when its holder ends, however it ends, so a
// lock file left by a killed run (empty, or holding anything) never blocks the next one.
class KernelFolderLocks final : public FolderLocks {
public:
    std::unique_ptr<FolderLockHold> Take(const QString& folder, std::chrono::milliseconds wait) override {
        if (folder.isEmpty())
            return std::make_unique<NoHold>(); // refused by the action's folder check anyway
        const NativePath path = NativePathOf(QDir(folder).filePath(kLockFileName));
        const QDeadlineTimer deadline(wait);
        for (;;) {
            const NativeLock file = OpenNativeLockFile(path.data());
            if (file.status == NativeLockStatus::FolderMissing)
                return std::make_unique<NoHold>(); // the folder check says what is wrong
            if (file.status != NativeLockStatus::Taken)
                return std::make_unique<RefusedHold>(LockRefusal(folder, file.status, file.error));
            int error = 0;
            NativeLockStatus status = TryNativeLock(file.handle, path.data(), error);
            while (status == NativeLockStatus::Busy && !deadline.hasExpired()) {
                QThread::msleep(static_cast<unsigned long>(qMin<qint64>(kPollMs, deadline.remainingTime())));
                status = TryNativeLock(file.handle, path.data(), error);
            }
            if (status == NativeLockStatus::Taken)
                return std::make_unique<KernelLockHold>(file.handle, path);
            ReleaseNativeLock(file.handle, path.data(), false);
            if (status == NativeLockStatus::Busy)
                return nullptr;
            if (status != NativeLockStatus::Gone)
                return std::make_unique<RefusedHold>(LockRefusal(folder, status, error));
            if (deadline.hasExpired())
                return nullptr;
            // The earlier holder removed the file as it let go: open the name again.
        }
    }

private:
    static constexpr qint64 kPollMs = 50;
};

} // namespace

FolderLocks& SystemFolderLocks() {
    static KernelFolderLocks locks;
    return locks;
}

std::chrono::milliseconds LockWait(std::chrono::milliseconds standard) {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("LECTORIA_ATTENTE_VERROU", &ok);
    return ok && seconds >= 0 ? std::chrono::milliseconds(seconds * 1000LL) : standard;
}

QString FolderBusyMessage(const QString& folder, std::chrono::milliseconds waited) {
    // The lock is the system's: it is held only by a program still running, and ends with it.
    // Deleting the file would not free the folder, only let a second run write beside the first.
    return QStringLiteral("Un autre téléchargement de Lectoria est en cours dans le dossier %1 "
                          "(encore occupé après %2 s d'attente). Réessayez une fois qu'il sera terminé.")
        .arg(QDir::toNativeSeparators(folder))
        .arg(waited.count() / 1000);
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
    if (!hold || !hold->Refusal().isEmpty()) {
        // Nothing is fetched without the lock: the reason is the failure of this download.
        busy_ = hold ? hold->Refusal() : FolderBusyMessage(folder, wait_);
        if (onBusy_)
            onBusy_(busy_);
        return hold ? TransferResult::WriteError : kFolderBusy;
    }
    return inner_.Download(owner, url, file);
}

} // namespace lectoria
