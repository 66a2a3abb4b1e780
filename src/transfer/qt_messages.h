#pragma once

namespace lectoria {

// Keeps Qt's own diagnostics (« QIODevice::read (QNetworkReplyHttpImpl): device not open »...)
// off the terminal and the journal: the program says what went wrong in its own words. With
// LECTORIA_MESSAGES_QT=1 they are printed as Qt prints them, for a diagnosis. Fatal messages
// always go through.
void KeepQtDiagnosticsQuiet();

} // namespace lectoria
