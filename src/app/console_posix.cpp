#include "console.h"

#include <cstdio>
#include <unistd.h>

namespace lectoria::cli {

// Terminals and files alike take UTF-8 here.
QTextStream& Out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& Err() {
    static QTextStream stream(stderr);
    return stream;
}

bool InATerminal() {
    return ::isatty(STDOUT_FILENO) != 0;
}

// A terminal outlives the program that writes to it.
void CloseOwnConsole() {}

} // namespace lectoria::cli
