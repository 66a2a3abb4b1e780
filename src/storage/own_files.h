#pragma once

#include <QFile>
#include <QString>
#include <system_error>

namespace lectoria {

// The program's own files beside the editions (the folder's lock, an unfinished download and its
// validator) begin with a dot or end in ".part", which file managers on Linux hide or show as
// such. Explorer shows them all: on Windows they carry the hidden attribute instead.
void HideOwnFile(const QString& path);
// An unfinished download becomes an edition: shown like any other file again.
void ShowOwnFile(const QString& path);

// Whether another program holds `path` open in a way that keeps it from being replaced (a PDF
// reader on Windows opens its file without sharing its deletion). Never on POSIX systems,
// where a name can always be replaced under an open file.
bool HeldOpenElsewhere(const QString& path);
// The name of a program holding `path` open, where the system can say which; empty otherwise.
QString ProgramHolding(const QString& path);

// Opens a leftover of an earlier run (an unfinished download, its validator) into `file`,
// unbuffered, with `mode` (ReadOnly, or ReadWrite | Append to continue it), only when it is a
// regular file of this user's own with no other name, never through a link: in a shared folder,
// another user's file is never read or continued. False when it is not such a file.
bool OpenOwnFile(const QString& path, QFile& file, QIODevice::OpenMode mode);
// Creates `path` for writing into `file`, unbuffered: a new file made here and now, never an
// existing one (nor a link's target) opened. False with the system's reason in `cause`.
bool CreateOwnFile(const QString& path, QFile& file, std::error_code& cause);
// Whether this process may create entries in `folder`.
bool MayCreateIn(const QString& folder);

} // namespace lectoria
