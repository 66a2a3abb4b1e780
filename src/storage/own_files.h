#pragma once

#include <QString>

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

} // namespace lectoria
