#include "storage/settings_store.h"

#include "storage/durable_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSettings>
#include <filesystem>
#include <functional>
#include <system_error>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#endif

namespace lectoria {

namespace {

// A settings file that exists but is a folder, or that we may not replace, is left alone
// before anything is written: a refused change would otherwise stay pending in QSettings' shared
// per-file cache and be read back (and written later) as if it had been stored. A name that is
// not a file at all (the Windows registry key) passes.
bool MayReplace(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists())
        return true;
    return info.isFile() && info.isWritable();
}

// The registry on Windows; a file everywhere else and for every INI store.
bool KeptInAFile(const QSettings& settings) {
#ifdef Q_OS_WIN
    return settings.format() != QSettings::NativeFormat;
#else
    Q_UNUSED(settings);
    return true;
#endif
}

// A settings file reached through a symbolic link (dotfiles kept elsewhere) is replaced where it
// really is, and the link stays.
QString RealFileOf(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.isSymLink())
        return info.absoluteFilePath();
    // Through every link of a chain; a dangling one names where the file is to be.
    return info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
}

// A save stopped half-way (the program killed, the machine off) leaves its copy under its random
// name. Under the settings' lock no other save is under way: any such copy is a leftover.
void RemoveLeftoverCopies(const QString& file) {
    const QFileInfo info(file);
    QDir folder = info.absoluteDir();
    const QString copies = info.fileName() + QStringLiteral(".*.nouveau");
    for (const QString& name :
         folder.entryList({copies, copies + QStringLiteral(".lock")}, QDir::Files | QDir::Hidden | QDir::System))
        folder.remove(name);
}

// What a new file gets before the user's umask: read and write for all.
constexpr QFileDevice::Permissions kNewFileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                  QFileDevice::ReadOther | QFileDevice::WriteOther;

// A name beside `file` that nothing else uses.
QString ScratchNameFor(const QString& file) {
    return QStringLiteral("%1.%2.nouveau")
        .arg(file)
        .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
}

// The values that QSettings reads from the file at `path`, or nothing when it cannot read it.
std::optional<QVariantMap> ValuesIn(const QString& path, QSettings::Format format) {
    const QSettings settings(path, format);
    if (settings.status() == QSettings::AccessError)
        return std::nullopt;
    QVariantMap values;
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

// Whether the file read back holds every value meant for it. The value just written comes back
// as text (a number is written as its digits).
bool Holds(const QVariantMap& found, const QVariantMap& meant, const QString& written) {
    if (found.keys() != meant.keys())
        return false;
    for (auto it = meant.cbegin(); it != meant.cend(); ++it) {
        const QVariant& value = found.value(it.key());
        if (it.key() == written ? value.toString() != it.value().toString() : value != it.value())
            return false;
    }
    return true;
}

// QSettings caches each file's values in the process and reads the file again only when its size
// or its modification time (in milliseconds) changed. A new file of the same size written within
// the same millisecond as the old one gets a later time, so that the next read sees it.
void MakeNewerThan(const QString& path, const QString& old) {
    const QDateTime before = QFileInfo(old).lastModified();
    if (!before.isValid() || QFileInfo(path).lastModified() > before)
        return;
    QFile file(path);
    if (file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        file.setFileTime(before.addMSecs(1), QFileDevice::FileModificationTime);
}

class SystemFiles final : public SettingsFileSystem {
public:
    bool Create(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions) override {
        QFile file(path);
        // NewOnly: never an existing file, nor the target of a link planted under that name.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions))
            return false;
        // Brought to the disk by Sync, once QSettings has written the new value into it.
        const bool written = file.write(bytes) == bytes.size() && file.flush();
        file.close();
        return written && file.error() == QFileDevice::NoError;
    }

    bool Sync(const QString& path) override {
        QFile file(path);
        return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) && SyncToDisk(file);
    }

    bool Rename(const QString& from, const QString& to) override {
        // rename(2) replaces `to` in one step; so does MoveFileEx on Windows.
        std::error_code error;
        std::filesystem::rename(NativePath(from), NativePath(to), error);
        if (error)
            return false;
        SyncFolder(QFileInfo(to).absolutePath());
        return true;
    }
};

class QSettingsStore final : public SettingsStore {
public:
    using Opener = std::function<std::unique_ptr<QSettings>()>;
    QSettingsStore(Opener open, SettingsFileSystem& files) : open_(std::move(open)), files_(files) {}

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
        if (settings->status() == QSettings::AccessError || !MayReplace(fileName))
            return false;
        if (!KeptInAFile(*settings)) {
            settings->setValue(name, value);
            settings->sync();
            return settings->status() == QSettings::NoError;
        }
        // QSettings writes under "<file>.lock" and, while the holder of that lock is alive, waits
        // for it without end. Another instance holds it for the milliseconds of its own write;
        // one that hangs or was stopped there would freeze the window on each change. A second's
        // wait, then the value is not written.
        // The first save also makes the folder (~/.config/Orvane), as QSettings would.
        if (!QFileInfo(fileName).absoluteDir().mkpath(QStringLiteral(".")))
            return false;
        QLockFile lock(fileName + QStringLiteral(".lock"));
        if (!lock.tryLock(1000))
            return false;
        return WriteBeside(RealFileOf(fileName), settings->format(), name, value);
    }

    // QSettings replaces its file even when writing the new one failed (a full disk leaves it
    // empty), so it only ever writes a copy here. The copy, with the new value, is brought to
    // the disk, read back under a name QSettings has not cached, and renamed over the file only
    // when it holds every value; [Adresses] and anything else in the file come along.
    bool WriteBeside(const QString& file, QSettings::Format format, const QString& name, const QVariant& value) {
        RemoveLeftoverCopies(file);
        QByteArray before;
        if (QFileInfo::exists(file)) {
            QFile old(file);
            if (!old.open(QIODevice::ReadOnly))
                return false;
            before = old.readAll();
            if (old.error() != QFileDevice::NoError)
                return false;
        }
        const QString scratch = ScratchNameFor(file);
        const QString check = ScratchNameFor(file);
        const auto fail = [&] {
            QFile::remove(scratch);
            QFile::remove(check);
            return false;
        };
        // A private file (its addresses may hold a password) is never copied where others read it.
        const bool existed = QFileInfo::exists(file);
        const QFileDevice::Permissions mode = existed ? QFileInfo(file).permissions() : kNewFileMode;
        if (!files_.Create(scratch, before, mode))
            return fail();
        if (existed) // what the user's umask took off at creation
            QFile::setPermissions(scratch, mode);
        std::optional<QVariantMap> meant = ValuesIn(scratch, format);
        if (!meant)
            return fail();
        meant->insert(name, value);
        {
            QSettings copy(scratch, format);
            copy.setValue(name, value);
            copy.sync(); // its status is not trusted: the copy is read back below
        }
        // QSettings locks the copy through "<copy>.lock" and does not say when it could not remove
        // that file afterwards; under its random name no later save would ever take it away.
        QFile::remove(scratch + QStringLiteral(".lock"));
        if (!files_.Sync(scratch) || !files_.Rename(scratch, check))
            return fail();
        const std::optional<QVariantMap> found = ValuesIn(check, format);
        if (!found || !Holds(*found, *meant, name))
            return fail();
        MakeNewerThan(check, file);
        if (!files_.Rename(check, file))
            return fail();
        return true;
    }

    Opener open_;
    SettingsFileSystem& files_;
};

} // namespace

std::unique_ptr<SettingsStore> MakeUserSettingsStore() {
    // On Windows this is the registry key HKEY_CURRENT_USER\Software\Orvane\Lectoria, where a
    // quint32 becomes a REG_DWORD and a text a REG_SZ, as earlier versions wrote them. Elsewhere
    // it is Orvane/Lectoria.conf under the user's configuration folder (XDG_CONFIG_HOME).
    return std::make_unique<QSettingsStore>(
        [] {
            return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"),
                                               QStringLiteral("Lectoria"));
        },
        SystemSettingsFileSystem());
}

std::unique_ptr<SettingsStore> MakeFileSettingsStore(const QString& fileName, SettingsFileSystem& files) {
    return std::make_unique<QSettingsStore>(
        [fileName] { return std::make_unique<QSettings>(fileName, QSettings::IniFormat); }, files);
}

std::unique_ptr<SettingsStore> MakeFileSettingsStore(const QString& fileName) {
    return MakeFileSettingsStore(fileName, SystemSettingsFileSystem());
}

SettingsFileSystem& SystemSettingsFileSystem() {
    static SystemFiles files;
    return files;
}

} // namespace lectoria
