#include "transfer/file_writer.h"

#include "transfer/transfer_library.h"

#include <QFileInfo>
#include <filesystem>
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

// Whether this process may create entries in `folder`. On POSIX systems the effective
// identity decides (a read-only mount answers no as well); elsewhere Qt's view of the rights.
bool MayCreateIn(const QString& folder) {
#ifdef Q_OS_UNIX
    return faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0;
#else
    return QFileInfo(folder).isWritable();
#endif
}

bool SyncToDisk(QFile& file) {
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#elif defined(Q_OS_WIN)
    return ::_commit(file.handle()) == 0;
#else
    Q_UNUSED(file);
    return true;
#endif
}

// After the rename, the folder's own entry list reaches the disk too, so that the new name
// survives a power cut. A failure here changes nothing for the file itself.
void SyncFolder([[maybe_unused]] const QString& folder) {
#ifdef Q_OS_UNIX
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
#endif
}

std::filesystem::path NativePath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

} // namespace

QString TemporaryFileFor(const QString& target) {
    return target + QStringLiteral(".part");
}

PartFileWriter::PartFileWriter(QString target)
    : target_(std::move(target)), temporary_(TemporaryFileFor(target_)), failure_(TransferResult::WriteError) {}

PartFileWriter::~PartFileWriter() {
    Discard();
}

bool PartFileWriter::Open() {
    Discard();
    if (QFileInfo(target_).isDir())
        return Fail(TransferResult::TargetIsFolder);
    // A leftover of a stopped run is never continued: nothing tells how much of it is sound.
    // A symbolic link of that name goes too, so the new file is always a file of our own.
    const QFileInfo leftover(temporary_);
    if (leftover.exists() || leftover.isSymLink())
        QFile::remove(temporary_);
    file_.setFileName(temporary_);
    // NewOnly: created here and now, never an existing file (nor a link's target) opened.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return Fail(ClassifyOpenFailure(target_));
    holding_ = true;
    return true;
}

bool PartFileWriter::Write(const char* data, qint64 size) {
    if (file_.isOpen() && file_.write(data, size) == size)
        return true;
    return Fail(file_.error() == QFileDevice::ResourceError ? TransferResult::DiskFull : TransferResult::WriteError);
}

bool PartFileWriter::Restart() {
    return Open();
}

bool PartFileWriter::Sync() {
    if (!file_.isOpen())
        return Fail(TransferResult::WriteError);
    const bool synced = file_.flush() && SyncToDisk(file_);
    const QFileDevice::FileError error = file_.error();
    file_.close();
    if (!synced || file_.error() != QFileDevice::NoError)
        return Fail(error == QFileDevice::ResourceError ? TransferResult::DiskFull : TransferResult::WriteError);
    return true;
}

bool PartFileWriter::Replace() {
    if (!holding_ || file_.isOpen())
        return Fail(TransferResult::WriteError);
    // rename(2) replaces an existing target in one step; so does MoveFileEx on Windows.
    std::error_code error;
    std::filesystem::rename(NativePath(temporary_), NativePath(target_), error);
    if (error)
        return Fail(TransferResult::WriteError);
    holding_ = false;
    SyncFolder(QFileInfo(target_).absolutePath());
    return true;
}

void PartFileWriter::Discard() {
    file_.close();
    if (holding_)
        QFile::remove(temporary_);
    holding_ = false;
}

void PartFileWriter::Abandon() {
    file_.close();
    holding_ = false;
}

bool PartFileWriter::Fail(int failure) {
    failure_ = failure;
    Discard();
    return false;
}

int ClassifyOpenFailure(const QString& target) {
    const QFileInfo file(target);
    const QFileInfo folder(file.absolutePath());
    if (file.isDir())
        return TransferResult::TargetIsFolder;
    if (!folder.isDir())
        return TransferResult::WriteError;
    return MayCreateIn(folder.absoluteFilePath()) ? TransferResult::WriteError : TransferResult::ReadOnlyFolder;
}

std::unique_ptr<FileWriter> MakePartFileWriter(const QString& target) {
    return std::make_unique<PartFileWriter>(target);
}

} // namespace lectoria
