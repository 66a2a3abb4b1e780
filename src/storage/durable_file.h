#pragma once

#include <QString>

#include <filesystem>

class QFile;

namespace lectoria {

// What a file needs to survive a power cut once it is written: its bytes on the disk (fsync),
// then, after a rename, the folder's entry list too. Shared by the settings file and the
// editions, written the same careful way.
bool SyncToDisk(QFile& file);
// A failure here changes nothing for the file itself; it is not reported.
void SyncFolder(const QString& folder);

// The path as the standard library's file functions take it on this system.
std::filesystem::path NativePath(const QString& path);

} // namespace lectoria
