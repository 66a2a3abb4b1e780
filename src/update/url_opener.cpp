#include "update/url_opener.h"

#include <QDesktopServices>

namespace lectoria {

namespace {
class DesktopUrlOpener final : public UrlOpener {
public:
    // Failures are not reported: the window stays as it was.
    void Open(const QUrl& url) override { QDesktopServices::openUrl(url); }
};
} // namespace

std::unique_ptr<UrlOpener> MakeDesktopUrlOpener() {
    return std::make_unique<DesktopUrlOpener>();
}

} // namespace lectoria
