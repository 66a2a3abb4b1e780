#include "transfer/file_writer.h"

#include "storage/durable_file.h"
#include "storage/own_files.h"
#include "transfer/transfer_library.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
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

// A failed write, sync or close: the system's reason when it gave one, Qt's view otherwise.
int FailureOf(QFileDevice::FileError error, int cause) {
    if (cause != 0) {
        const int failure = ClassifySystemError(std::error_code(cause, std::generic_category()));
        if (failure != TransferResult::WriteError)
            return failure;
    }
    return error == QFileDevice::ResourceError ? TransferResult::DiskFull : TransferResult::WriteError;
}

constexpr qint64 kLongestValidator = 256;
constexpr qint64 kHeldTail = 1024;

#ifdef Q_OS_UNIX
// Opens `path` only when it is a regular file of this user's own with no other name (never
// through a link): in a shared folder, someone else's file is never read or written.
int OpenOwnFile(const QString& path, int flags) {
    const int descriptor = ::open(QFile::encodeName(path).constData(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0)
        return -1;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid() ||
        status.st_nlink != 1) {
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

QByteArray ReadAt(int descriptor, qint64 offset, qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const ssize_t got = ::pread(descriptor, bytes.data() + done, size_t(size - done), off_t(offset + done));
        if (got <= 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}
#endif

} // namespace

QString TemporaryFileFor(const QString& target) {
    return target + QStringLiteral(".part");
}

QString ValidatorFileFor(const QString& target) {
    return TemporaryFileFor(target) + QStringLiteral(".validateur");
}

bool IsUsableValidator(const QByteArray& validator) {
    if (validator.isEmpty() || validator.size() > kLongestValidator || validator.trimmed() != validator)
        return false;
    return std::all_of(validator.cbegin(), validator.cend(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

PartFileWriter::PartFileWriter(QString target)
    : target_(std::move(target)), temporary_(TemporaryFileFor(target_)), validatorFile_(ValidatorFileFor(target_)),
      failure_(TransferResult::WriteError) {}

PartFileWriter::~PartFileWriter() {
    Discard();
}

bool PartFileWriter::Open() {
    Discard();
    if (QFileInfo(target_).isDir())
        return Fail(TransferResult::TargetIsFolder);
    return Continue() || Create();
}

bool PartFileWriter::Continue() {
#ifdef Q_OS_UNIX
    // The validator first: without it, nothing tells whether the server's file is still the one
    // the leftover began.
    // Its first line; the second, when there is one, is the size announced for the whole file.
    QByteArray noted;
    if (const int descriptor = OpenOwnFile(validatorFile_, O_RDONLY); descriptor >= 0) {
        noted = ReadAt(descriptor, 0, kLongestValidator + 24);
        ::close(descriptor);
    }
    const QList<QByteArray> lines = noted.split('\n');
    const QByteArray validator = lines.value(0);
    if (!IsUsableValidator(validator))
        return false;
    bool known = false;
    const qint64 total = lines.value(1).toLongLong(&known);
    const int descriptor = OpenOwnFile(temporary_, O_RDWR);
    if (descriptor < 0)
        return false;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || status.st_size <= 0) {
        ::close(descriptor);
        return false;
    }
    HeldPart held{status.st_size, validator, known && total > 0 ? total : -1, ReadAt(descriptor, 0, 16),
                  ReadAt(descriptor, qMax<qint64>(0, status.st_size - kHeldTail), kHeldTail)};
    if (held.head.isEmpty() || ::lseek(descriptor, 0, SEEK_END) != status.st_size) {
        ::close(descriptor);
        return false;
    }
    file_.setFileName(temporary_);
    if (!file_.open(descriptor, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return false;
    }
    holding_ = true;
    validatorSaved_ = true;
    held_ = std::move(held);
    return true;
#else
    return false;
#endif
}

void PartFileWriter::RemoveLeftovers() {
    // A symbolic link of either name goes too (the link itself), so the new files are always our own.
    for (const QString& path : {temporary_, validatorFile_}) {
        const QFileInfo leftover(path);
        if (leftover.exists() || leftover.isSymLink())
            QFile::remove(path);
    }
}

bool PartFileWriter::Create() {
    RemoveLeftovers();
    held_ = HeldPart();
    validatorSaved_ = false;
    file_.setFileName(temporary_);
#ifdef Q_OS_UNIX
    // O_EXCL: created here and now, never an existing file (nor a link's target) opened. Opened
    // here rather than by QFile so that the system's own reason for a refusal is known.
    const int descriptor =
        ::open(QFile::encodeName(temporary_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0) {
        const int cause = errno;
        const int failure = ClassifySystemError(std::error_code(cause, std::generic_category()));
        return Fail(failure != TransferResult::WriteError ? failure : ClassifyOpenFailure(target_));
    }
    if (!file_.open(descriptor, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        holding_ = true; // created: removed by Fail
        return Fail(TransferResult::WriteError);
    }
#else
    // NewOnly: created here and now, never an existing file (nor a link's target) opened.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return Fail(ClassifyOpenFailure(target_));
#endif
    holding_ = true;
    HideOwnFile(temporary_);
    return true;
}

bool PartFileWriter::Write(const char* data, qint64 size) {
    if (!file_.isOpen())
        return Fail(TransferResult::WriteError);
    errno = 0;
    if (file_.write(data, size) == size)
        return true;
    return Fail(FailureOf(file_.error(), errno));
}

bool PartFileWriter::Restart() {
    Discard();
    return Create();
}

bool PartFileWriter::SetValidator(const QByteArray& validator, qint64 total) {
    validatorSaved_ = false;
    if (!holding_ || !IsUsableValidator(validator))
        return false;
    const QFileInfo leftover(validatorFile_);
    if (leftover.exists() || leftover.isSymLink())
        QFile::remove(validatorFile_);
    QFile file(validatorFile_);
    // NewOnly: created here, never through a link somebody left in a shared folder.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    QByteArray noted = validator + '\n';
    if (total > 0)
        noted += QByteArray::number(total) + '\n';
    validatorSaved_ = file.write(noted) == noted.size() && file.flush();
    file.close();
    HideOwnFile(validatorFile_);
    if (!validatorSaved_)
        QFile::remove(validatorFile_);
    return validatorSaved_;
}

void PartFileWriter::Keep() {
    if (!holding_ || !validatorSaved_)
        return Discard();
    // The bytes kept reach the disk: the next run continues after them without reading them again.
    const bool synced = file_.flush() && SyncToDisk(file_);
    file_.close();
    if (!synced)
        return Discard();
    holding_ = false;
}

bool PartFileWriter::Sync() {
    if (!file_.isOpen())
        return Fail(TransferResult::WriteError);
    errno = 0;
    const bool synced = file_.flush() && SyncToDisk(file_);
    int cause = errno;
    const QFileDevice::FileError error = file_.error();
    if (synced)
        errno = 0;
    file_.close(); // a network file system may say only here that the data did not fit
    if (synced && file_.error() != QFileDevice::NoError)
        cause = errno;
    if (!synced || file_.error() != QFileDevice::NoError)
        return Fail(FailureOf(synced ? file_.error() : error, cause));
    return true;
}

bool PartFileWriter::Replace() {
    if (!holding_ || file_.isOpen())
        return Fail(TransferResult::WriteError);
    // rename(2) replaces an existing target in one step; so does MoveFileEx on Windows, where
    // the new edition is shown like the old one (a rename keeps the hidden mark of the ".part").
    ShowOwnFile(temporary_);
    std::error_code error;
    std::filesystem::rename(NativePath(temporary_), NativePath(target_), error);
    if (error) {
        const int failure = ClassifySystemError(error);
        // Windows refuses to replace a file that a reader holds open with the same "access
        // denied" as a refusal of rights; the two call for different remedies.
        return Fail(failure == TransferResult::PermissionDenied && HeldOpenElsewhere(target_)
                        ? TransferResult::FileInUse
                        : failure);
    }
    holding_ = false;
    QFile::remove(validatorFile_);
    SyncFolder(QFileInfo(target_).absolutePath());
    return true;
}

void PartFileWriter::Discard() {
    file_.close();
    if (holding_) {
        QFile::remove(temporary_);
        QFile::remove(validatorFile_);
    }
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

int ClassifySystemError(const std::error_code& error) {
    if (error == std::errc::no_space_on_device)
        return TransferResult::DiskFull;
#if defined(EDQUOT) && !defined(Q_OS_WIN)
    if (error.value() == EDQUOT)
        return TransferResult::DiskFull; // the user's quota: no more room for this user
#endif
    if (error == std::errc::read_only_file_system)
        return TransferResult::ReadOnlyFileSystem;
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        return TransferResult::PermissionDenied;
    return TransferResult::WriteError;
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
