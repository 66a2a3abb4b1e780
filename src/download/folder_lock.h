#pragma once

#include "transfer/transfer_library.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace lectoria {

// One download at a time per folder, whichever front end runs it: a timer run of the command
// line and the window never write the same edition at once.
class FolderLockHold {
public:
    virtual ~FolderLockHold() = default; // releases the lock
    // Why the lock could not be taken at all (its file cannot be created, ...), in French; empty
    // when it is held, or not needed. Nothing may be written in the folder without it.
    virtual QString Refusal() const { return {}; }
};

class FolderLocks {
public:
    virtual ~FolderLocks() = default;
    // Takes the folder's lock, waiting up to `wait` for another run to let it go; null when it
    // stayed taken. A missing folder is not locked at all (its own check says so); a lock that
    // cannot be taken otherwise comes back as a hold with a Refusal.
    virtual std::unique_ptr<FolderLockHold> Take(const QString& folder, std::chrono::milliseconds wait) = 0;
};

// The kernel's lock (flock, LockFileEx) on the file ".lectoria.lock" in the folder. A lock whose
// holder has died is free whatever its file holds; one held by a live process is never taken,
// however old it is.
FolderLocks& SystemFolderLocks();

inline const QString kLockFileName = QStringLiteral(".lectoria.lock");
inline constexpr std::chrono::milliseconds kCommandLineLockWait{30000};
inline constexpr std::chrono::milliseconds kWindowLockWait{3000}; // the window must not freeze long

// `standard`, unless LECTORIA_ATTENTE_VERROU gives another wait in whole seconds (a diagnostic
// switch, used by the tests).
std::chrono::milliseconds LockWait(std::chrono::milliseconds standard);

// "Un autre téléchargement de Lectoria est en cours dans le dossier …"
QString FolderBusyMessage(const QString& folder, std::chrono::milliseconds waited);

// Result of FolderLockedTransfer::Download when the folder stayed locked.
inline constexpr int kFolderBusy = 100;

// A transfer run under the lock of its target's folder. When the lock stays taken nothing is
// fetched, `onBusy` is told why and the result is kFolderBusy; when it cannot be taken at all,
// likewise with TransferResult::WriteError.
class FolderLockedTransfer final : public TransferLibrary {
public:
    FolderLockedTransfer(TransferLibrary& inner, FolderLocks& locks, std::chrono::milliseconds wait,
                         std::function<void(const QString&)> onBusy = {});

    int IsConnected(const QString& url) override { return inner_.IsConnected(url); }
    void SetOption(const QString& name, const QString& value) override { inner_.SetOption(name, value); }
    void ClearFiles() override;
    int Download(QWidget* owner, const QString& url, const QString& file) override;
    QString LastError() const override { return busy_.isEmpty() ? inner_.LastError() : busy_; }

private:
    TransferLibrary& inner_;
    FolderLocks& locks_;
    std::chrono::milliseconds wait_;
    std::function<void(const QString&)> onBusy_;
    QString busy_;
};

} // namespace lectoria
