#pragma once

#include <QUrl>

namespace lectoria {

// A program without a window (lectoria-cli) has no Qt desktop services: it asks the system's
// launcher itself, the one that those services ask.
void OpenWithoutWindow(const QUrl& url);
// Whether that launcher is there.
bool CanOpenWithoutWindow();

} // namespace lectoria
