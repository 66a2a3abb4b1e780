#pragma once

#include <QUrl>
#include <memory>

namespace lectoria {

// Opens an address with the desktop's default handler; the result is not reported.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void Open(const QUrl& url) = 0;
};

std::unique_ptr<UrlOpener> MakeDesktopUrlOpener(); // QDesktopServices::openUrl

} // namespace lectoria
