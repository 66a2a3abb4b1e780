#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <system_error>

namespace lectoria {

// What a temporary file left by an earlier run holds, when Open took it up to continue it.
struct HeldPart {
    qint64 size = 0;      // 0: a fresh file
    QByteArray validator; // the ETag or Last-Modified of the answer it came from
    qint64 total = -1;    // the size that answer announced for the whole file, when it did
    QByteArray head;      // its first bytes
    QByteArray tail;      // its last KiB
};

// Where a transfer writes its body: a temporary file beside the target that replaces the target
// in one rename on Commit, and vanishes on Discard (or when the writer is destroyed uncommitted).
class FileWriter {
public:
    virtual ~FileWriter() = default;
    virtual bool Open() = 0; // creates the temporary file, or takes up a leftover to continue
    virtual bool Write(const char* data, qint64 size) = 0;
    virtual bool Restart() = 0; // empties it, for a transfer that starts over
    virtual bool Commit() = 0;  // flushes, then replaces the target
    virtual void Discard() = 0;
    // After Open: what the file already holds.
    virtual HeldPart Held() const { return {}; }
    // Notes beside the file which answer its bytes come from, so that a later run may continue it.
    // `total`: the size announced for the whole file (-1 when unknown), which a later answer
    // must announce again for the bytes to be continued.
    virtual bool SetValidator(const QByteArray& validator, qint64 total) {
        Q_UNUSED(validator);
        Q_UNUSED(total);
        return false;
    }
    // Leaves the file and its validator for the next run (a transfer cut short); without a
    // validator nothing could tell the next run that they still match: it discards instead.
    virtual void Keep() { Discard(); }
    // After a false answer: TransferResult::DiskFull, ReadOnlyFileSystem, PermissionDenied,
    // ReadOnlyFolder, TargetIsFolder, FileInUse or WriteError.
    virtual int Failure() const = 0;
};

using FileWriterFactory = std::function<std::unique_ptr<FileWriter>(const QString& target)>;

// "<target>.part": the one name a transfer of `target` writes to before the rename, so that a
// leftover of a run that was killed or cut off is recognised (and continued) by the next run.
QString TemporaryFileFor(const QString& target);
// "<target>.part.validateur": the ETag or Last-Modified of the answer the ".part" comes from.
QString ValidatorFileFor(const QString& target);

// Whether a validator may be kept and sent back in If-Range: one line of visible ASCII
// characters and spaces, not too long.
bool IsUsableValidator(const QByteArray& validator);

// The real writer. Open continues a leftover temporary file when it is a regular file of this
// user's own with a usable validator beside it; any other leftover (a link, a folder, another
// user's file) is removed and a fresh file created exclusively. Commit is Sync (the data reaches
// the disk) then Replace (one rename over the target), so a stop at any moment leaves either the
// earlier target or the complete new one.
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
    HeldPart Held() const override { return held_; }
    bool SetValidator(const QByteArray& validator, qint64 total) override;
    void Keep() override;

    bool Sync();    // flushes and closes the temporary file, data and size on the disk
    bool Replace(); // renames it over the target
    // Forgets the temporary file without removing it: what a sudden stop leaves behind.
    void Abandon();

private:
    bool Fail(int failure);
    bool Continue(); // takes up a leftover; false: none that may be continued
    bool Create();   // removes any leftover, then creates the file exclusively
    void RemoveLeftovers();

    QString target_;
    QString temporary_;
    QString validatorFile_;
    QFile file_;
    HeldPart held_;
    bool validatorSaved_ = false;
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
