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
};

class FolderLocks {
public:
    virtual ~FolderLocks() = default;
    // Takes the folder's lock, waiting up to `wait` for another run to let it go; null when it
    // stayed taken. A folder where no lock file can be written is not locked at all: the
    // transfer then reports why it cannot write there.
    virtual std::unique_ptr<FolderLockHold> Take(const QString& folder, std::chrono::milliseconds wait) = 0;
};

// The lock file ".lectoria.lock" in the folder (QLockFile). A lock left by a process that has
// died is taken over; one held by a live process is never, however old it is.
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
// fetched, `onBusy` is told why and the result is kFolderBusy.
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
