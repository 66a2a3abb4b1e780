#pragma once

#include <QByteArray>

namespace lectoria {

// The drive type that stands for a file system of this name: CD file systems 5, memory file
// systems 6, network file systems 4, anything else 3.
int DriveTypeForFileSystem(const QByteArray& fileSystemType);

} // namespace lectoria
