#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

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
    // After a false answer: TransferResult::DiskFull, ReadOnlyFolder or WriteError.
    virtual int Failure() const = 0;
};

using FileWriterFactory = std::function<std::unique_ptr<FileWriter>(const QString& target)>;

// The writer on QSaveFile, which never writes into the target itself.
std::unique_ptr<FileWriter> MakeSaveFileWriter(const QString& target);

// Why a file cannot be created in the folder of `target`: ReadOnlyFolder when the folder exists
// but refuses new files, WriteError otherwise (missing folder, target taken by a folder, ...).
int ClassifyOpenFailure(const QString& target);

} // namespace lectoria
