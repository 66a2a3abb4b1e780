#include "storage/durable_file.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace lectoria {

bool SyncToDisk(QFile& file) {
    return ::fsync(file.handle()) == 0;
}

void SyncFolder(const QString& folder) {
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

std::filesystem::path NativePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace lectoria
