#include "update/url_opener_native.h"

#include <QProcess>
#include <QStandardPaths>

namespace lectoria {

// The freedesktop.org launcher, which Qt's desktop services start on Linux too.
void OpenWithoutWindow(const QUrl& url) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {url.isLocalFile() ? url.toLocalFile() : url.toString()});
}

// xdg-open comes with xdg-utils, which the package only recommends.
bool CanOpenWithoutWindow() {
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
}

} // namespace lectoria
