#pragma once

#include <QTextStream>

namespace lectoria::cli {

// The program's standard output and error as text streams. Redirected to a file or a pipe they
// carry UTF-8; a Windows console, whose code page is rarely UTF-8 (850 on a French system),
// gets its texts in UTF-16 through the console's own calls, so accents read right in it.
QTextStream& Out();
QTextStream& Err();

} // namespace lectoria::cli
