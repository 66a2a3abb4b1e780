#include "transfer/file_writer.h"

#include "storage/durable_file.h"
#include "storage/own_files.h"
#include "transfer/transfer_library.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace lectoria {

namespace {

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

// Up to `size` bytes of `file` from `offset`.
QByteArray ReadAt(QFile& file, qint64 offset, qint64 size) {
    if (!file.seek(offset))
        return {};
    return file.read(size);
}

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
    // The validator first: without it, nothing tells whether the server's file is still the one
    // the leftover began.
    // Its first line; the second, when there is one, is the size announced for the whole file.
    QByteArray noted;
    if (QFile validatorFile; OpenOwnFile(validatorFile_, validatorFile, QIODevice::ReadOnly))
        noted = validatorFile.read(kLongestValidator + 24);
    const QList<QByteArray> lines = noted.split('\n');
    const QByteArray validator = lines.value(0);
    if (!IsUsableValidator(validator))
        return false;
    bool known = false;
    const qint64 total = lines.value(1).toLongLong(&known);
    if (!OpenOwnFile(temporary_, file_, QIODevice::ReadWrite | QIODevice::Append))
        return false;
    const qint64 size = file_.size();
    HeldPart held{size, validator, known && total > 0 ? total : -1, ReadAt(file_, 0, 16),
                  ReadAt(file_, qMax<qint64>(0, size - kHeldTail), kHeldTail)};
    // Back at the end, where the next bytes go.
    if (size <= 0 || held.head.isEmpty() || !file_.seek(size)) {
        file_.close();
        return false;
    }
    holding_ = true;
    validatorSaved_ = true;
    held_ = std::move(held);
    return true;
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
    std::error_code cause;
    if (!CreateOwnFile(temporary_, file_, cause)) {
        const int failure = ClassifySystemError(cause);
        return Fail(failure != TransferResult::WriteError ? failure : ClassifyOpenFailure(target_));
    }
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
