#include "cli_platform.h"

#include "ui/logos.h"

#include <QApplication>

namespace lectoria::cli {

std::unique_ptr<QCoreApplication> MakeCliApplication(int& argc, char** argv) {
    auto application = std::make_unique<QApplication>(argc, argv);
    application->setQuitOnLastWindowClosed(false); // it has no window: only its tray icon
    return application;
}

QIcon NotificationIcon() {
    return ApplicationIcon();
}

bool NoticeOutlivesTheProgram() {
    return false;
}

} // namespace lectoria::cli
