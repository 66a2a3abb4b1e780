#pragma once

#include <QTextStream>

namespace lectoria::cli {

// The program's standard output and error as text streams. Redirected to a file or a pipe they
// carry UTF-8; a Windows console, whose code page is rarely UTF-8 (850 on a French system),
// gets its texts in UTF-16 through the console's own calls, so accents read right in it.
QTextStream& Out();
QTextStream& Err();

// Whether someone reads the output as it comes: a terminal on POSIX systems; on Windows a console
// that another program (cmd.exe, PowerShell) shares, not one that Windows opened for this program
// alone (the Task Scheduler's morning run, a shortcut).
bool InATerminal();
// Closes a console window that Windows opened for this program alone, once its output is
// written: the wait for a click on the notice then leaves no black window on the screen.
// Nothing where the console is shared, and nothing on POSIX systems.
void CloseOwnConsole();

} // namespace lectoria::cli
