#include "update/url_opener.h"

#include "update/url_opener_native.h"

#include <QDesktopServices>
#include <QGuiApplication>

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
        OpenWithoutWindow(url);
    }

    bool Available() const override {
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) || CanOpenWithoutWindow();
    }
};
} // namespace

std::unique_ptr<UrlOpener> MakeDesktopUrlOpener() {
    return std::make_unique<DesktopUrlOpener>();
}

} // namespace lectoria
