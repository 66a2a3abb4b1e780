#pragma once

#include <QUrl>
#include <memory>

namespace lectoria {

// Opens an address with the desktop's default handler; the result is not reported.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void Open(const QUrl& url) = 0;
    // Whether Open can do anything here (the launcher it relies on is installed).
    virtual bool Available() const { return true; }
};

// QDesktopServices::openUrl; in a program without a QGuiApplication, the system launcher
// (xdg-open, or the Windows shell).
std::unique_ptr<UrlOpener> MakeDesktopUrlOpener();

} // namespace lectoria
