#include "transfer/file_writer.h"

#include "transfer/transfer_library.h"

#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
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

class SaveFileWriter final : public FileWriter {
public:
    explicit SaveFileWriter(QString target) : target_(std::move(target)) {}
    ~SaveFileWriter() override { Discard(); }

    bool Open() override {
        file_ = std::make_unique<QSaveFile>(target_);
        // Never fall back on writing into the target: that would destroy it on a failure.
        file_->setDirectWriteFallback(false);
        if (file_->open(QIODevice::WriteOnly))
            return true;
        failure_ = ClassifyOpenFailure(target_);
        file_.reset();
        return false;
    }
    bool Write(const char* data, qint64 size) override {
        if (file_ && file_->write(data, size) == size)
            return true;
        return Fail();
    }
    bool Restart() override {
        Discard();
        return Open();
    }
    bool Commit() override {
        if (file_ && file_->commit()) {
            file_.reset();
            return true;
        }
        return Fail();
    }
    void Discard() override {
        if (!file_)
            return;
        file_->cancelWriting();
        file_.reset(); // an uncommitted QSaveFile removes its temporary file
    }
    int Failure() const override { return failure_; }

private:
    bool Fail() {
        failure_ = (file_ && file_->error() == QFileDevice::ResourceError) ? TransferResult::DiskFull
                                                                           : TransferResult::WriteError;
        Discard();
        return false;
    }

    QString target_;
    std::unique_ptr<QSaveFile> file_;
    int failure_ = TransferResult::WriteError;
};

} // namespace

int ClassifyOpenFailure(const QString& target) {
    const QFileInfo file(target);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir() || file.isDir())
        return TransferResult::WriteError;
    return MayCreateIn(folder.absoluteFilePath()) ? TransferResult::WriteError : TransferResult::ReadOnlyFolder;
}

std::unique_ptr<FileWriter> MakeSaveFileWriter(const QString& target) {
    return std::make_unique<SaveFileWriter>(target);
}

} // namespace lectoria
