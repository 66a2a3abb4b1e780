#include "cli_platform.h"

namespace lectoria::cli {

std::unique_ptr<QCoreApplication> MakeCliApplication(int& argc, char** argv) {
    return std::make_unique<QCoreApplication>(argc, argv);
}

QIcon NotificationIcon() {
    return {};
}

bool NoticeOutlivesTheProgram() {
    return true;
}

} // namespace lectoria::cli
