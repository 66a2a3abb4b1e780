#pragma once

#include <QFile>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <system_error>

namespace lectoria {

// Where a transfer writes its body: a temporary file beside the target that replaces the target
// in one rename on Commit, and vanishes on Discard (or when the writer is destroyed uncommitted).
class FileWriter {
public:
    virtual ~FileWriter() = default;
    virtual bool Open() = 0; // creates the temporary file
    virtual bool Write(const char* data, qint64 size) = 0;
    virtual bool Restart() = 0; // empties it, for a transfer that starts over
    virtual bool Commit() = 0;  // flushes, then replaces the target
    virtual void Discard() = 0;
    // After a false answer: TransferResult::DiskFull, ReadOnlyFileSystem, PermissionDenied,
    // ReadOnlyFolder, TargetIsFolder or WriteError.
    virtual int Failure() const = 0;
};

using FileWriterFactory = std::function<std::unique_ptr<FileWriter>(const QString& target)>;

// "<target>.part": the one name a transfer of `target` writes to before the rename, so that a
// leftover of a run that was killed is recognised (and replaced) by the next run.
QString TemporaryFileFor(const QString& target);

// The real writer. Open removes a leftover temporary file and creates a fresh one; Commit is
// Sync (the data reaches the disk) then Replace (one rename over the target), so a stop at any
// moment leaves either the earlier target or the complete new one.
class PartFileWriter : public FileWriter {
public:
    explicit PartFileWriter(QString target);
    ~PartFileWriter() override;
    PartFileWriter(const PartFileWriter&) = delete;
    PartFileWriter& operator=(const PartFileWriter&) = delete;

    bool Open() override;
    bool Write(const char* data, qint64 size) override;
    bool Restart() override;
    bool Commit() override { return Sync() && Replace(); }
    void Discard() override;
    int Failure() const override { return failure_; }

    bool Sync();    // flushes and closes the temporary file, data and size on the disk
    bool Replace(); // renames it over the target
    // Forgets the temporary file without removing it: what a sudden stop leaves behind.
    void Abandon();

private:
    bool Fail(int failure);

    QString target_;
    QString temporary_;
    QFile file_;
    bool holding_ = false; // the temporary file is ours to remove
    int failure_;
};

std::unique_ptr<FileWriter> MakePartFileWriter(const QString& target);

// Why a file cannot be created in the folder of `target`: TargetIsFolder, ReadOnlyFolder when
// the folder exists but refuses new files, WriteError otherwise (a missing folder, ...).
int ClassifyOpenFailure(const QString& target);

// What the system's answer to an open, a write, a sync or a rename means for the transfer:
// DiskFull (ENOSPC, EDQUOT), ReadOnlyFileSystem (EROFS), PermissionDenied (EACCES, EPERM), or
// WriteError for anything else.
int ClassifySystemError(const std::error_code& error);

} // namespace lectoria
