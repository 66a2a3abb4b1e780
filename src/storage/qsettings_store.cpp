#include "storage/settings_store.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <functional>

namespace lectoria {

namespace {

// Size and modification time of the settings file, to tell whether a write reached it.
struct FileStamp {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists())
        return {};
    return {info.size(), info.lastModified()};
}

// A settings file that exists but is a folder, or that we may not replace, is left alone
// before QSettings is asked to write: a refused change would otherwise stay pending in
// QSettings' shared per-file cache and be read back (and written later) as if it had been stored.
// A name that is not a file at all (the Windows registry key) passes.
bool MayReplace(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists())
        return true;
    return info.isFile() && info.isWritable();
}

// QSettings writes a file under "<file>.lock" and, while the holder of that lock is alive, waits
// for it without end. Another instance holds it for the milliseconds of its own write; one that
// hangs or was stopped there would freeze the window on each change. A second's wait, then the
// value is not written. A file without a lock beside it (or the Windows registry) is not asked.
bool SettingsLockFree(const QString& fileName) {
    const QString lockName = fileName + QStringLiteral(".lock");
    if (!QFileInfo::exists(lockName))
        return true;
    QLockFile lock(lockName);
    return lock.tryLock(1000); // released at once: QSettings takes it itself
}

class QSettingsStore final : public SettingsStore {
public:
    using Opener = std::function<std::unique_ptr<QSettings>()>;
    explicit QSettingsStore(Opener open) : open_(std::move(open)) {}

    std::optional<QVariant> Read(const QString& name) override {
        // A damaged file still gives the values that can be parsed out of it.
        const auto settings = open_();
        if (settings->status() == QSettings::AccessError)
            return std::nullopt;
        const QVariant value = settings->value(name);
        if (!value.isValid())
            return std::nullopt;
        return value;
    }

    bool WriteNumber(const QString& name, quint32 value) override { return Write(name, QVariant::fromValue(value)); }

    bool WriteText(const QString& name, const QString& value) override { return Write(name, value); }

private:
    bool Write(const QString& name, const QVariant& value) {
        const auto settings = open_();
        const QString fileName = settings->fileName();
        // An unreadable file is never overwritten: what it holds could not be carried over.
        if (settings->status() == QSettings::AccessError || !MayReplace(fileName) || !SettingsLockFree(fileName))
            return false;
        const bool damaged = settings->status() == QSettings::FormatError;
        const FileStamp before = StampOf(fileName);

        // The file is rewritten as a whole (through a temporary file and a rename), with every
        // value that could be read from it, so the other value survives this write.
        settings->setValue(name, value);
        settings->sync();
        if (!damaged)
            return settings->status() == QSettings::NoError;
        // QSettings keeps the first error it met, here the parse error of the damaged file;
        // whether the write went through shows in the file itself.
        return StampOf(fileName) != before;
    }

    Opener open_;
};

} // namespace

std::unique_ptr<SettingsStore> MakeUserSettingsStore() {
    // On Windows this is the registry key HKEY_CURRENT_USER\Software\Orvane\Lectoria, where a
    // quint32 becomes a REG_DWORD and a text a REG_SZ, as earlier versions wrote them. Elsewhere
    // it is Orvane/Lectoria.conf under the user's configuration folder (XDG_CONFIG_HOME).
    return std::make_unique<QSettingsStore>([] {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"),
                                           QStringLiteral("Lectoria"));
    });
}

std::unique_ptr<SettingsStore> MakeFileSettingsStore(const QString& fileName) {
    return std::make_unique<QSettingsStore>(
        [fileName] { return std::make_unique<QSettings>(fileName, QSettings::IniFormat); });
}

} // namespace lectoria
