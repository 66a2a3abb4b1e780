#include "catchup/dbus_notifier.h"
#include "catchup/tray_notifier.h"

namespace lectoria::catchup {

// The freedesktop.org service draws its own icon: the program's is not needed.
std::unique_ptr<DesktopNotifier> MakeDesktopNotifier(const QIcon&) {
    return std::make_unique<DBusNotifier>();
}

} // namespace lectoria::catchup
