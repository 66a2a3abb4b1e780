#include "console.h"

#include <cstdio>

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

} // namespace lectoria::cli
