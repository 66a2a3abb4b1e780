#include "catchup/tray_notifier.h"

namespace lectoria::catchup {

std::unique_ptr<DesktopNotifier> MakeDesktopNotifier(const QIcon& icon) {
    return std::make_unique<TrayNotifier>(icon);
}

} // namespace lectoria::catchup
