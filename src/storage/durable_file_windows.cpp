#include "storage/durable_file.h"

#include <QFile>

#include <io.h>

namespace lectoria {

bool SyncToDisk(QFile& file) {
    return ::_commit(file.handle()) == 0;
}

// NTFS journals its folders' entries itself: a renamed file's new name needs no flush here.
void SyncFolder(const QString&) {}

// UTF-16, as Windows names files: a name in any script comes through whole.
std::filesystem::path NativePath(const QString& path) {
    return std::filesystem::path(path.toStdWString());
}

} // namespace lectoria
