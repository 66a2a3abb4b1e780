#include "update/url_opener.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

namespace lectoria {

namespace {
class DesktopUrlOpener final : public UrlOpener {
public:
    // Failures are not reported: the window stays as it was.
    void Open(const QUrl& url) override {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QDesktopServices::openUrl(url);
            return;
        }
        // A program without a window (lectoria-cli) has no Qt desktop services: it starts the
        // freedesktop.org launcher that they start on Linux, xdg-open, itself.
        QProcess::startDetached(QStringLiteral("xdg-open"), {url.isLocalFile() ? url.toLocalFile() : url.toString()});
    }

    // xdg-open comes with xdg-utils, which the package only recommends.
    bool Available() const override {
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ||
               !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
    }
};
} // namespace

std::unique_ptr<UrlOpener> MakeDesktopUrlOpener() {
    return std::make_unique<DesktopUrlOpener>();
}

} // namespace lectoria
