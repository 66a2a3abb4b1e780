#include "catchup/dbus_notifier.h"

#include <QDBusMessage>
#include <QEventLoop>
#include <QTimer>
#include <QVariantMap>

namespace lectoria::catchup {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = kService;
const QString kOpenAction = QStringLiteral("ouvrir");
const QString kDefaultAction = QStringLiteral("default"); // a click on the notification itself
// The window's icon, by its name in the icon theme (installed with the menu entry).
const QString kIconName = QStringLiteral("fr.orvane.Lectoria");
const QString kDesktopEntry = QStringLiteral("fr.orvane.Lectoria");
constexpr int kCallTimeoutMs = 10000;
// Qt D-Bus does not always hand signals over in the order they came: the click (ActionInvoked)
// was seen after the close that the service sent behind it, once in a few dozen runs.
constexpr int kLateClickMs = 500;

QDBusMessage Call(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

DBusNotifier::DBusNotifier() : bus_(QDBusConnection::sessionBus()) {}

bool DBusNotifier::Show(const ArrivalNotice& notice) {
    if (!bus_.isConnected())
        return false;
    const QDBusMessage capabilities = bus_.call(Call(QStringLiteral("GetCapabilities")), QDBus::Block, kCallTimeoutMs);
    if (capabilities.type() != QDBusMessage::ReplyMessage)
        return false;
    const QStringList offered = capabilities.arguments().value(0).toStringList();
    // Listened to before the call: the answer may come as soon as the notification is up. One
    // slot for every signal of the interface: with one connection per signal, Qt D-Bus was seen
    // to hand over a NotificationClosed before the ActionInvoked sent ahead of it, and the click
    // was lost.
    bus_.connect(kService, kPath, kInterface, QString(), this, SLOT(OnSignal(QDBusMessage)));

    canOpen_ = !notice.newestFile.isEmpty() && offered.contains(QStringLiteral("actions"));
    QStringList actions;
    if (canOpen_)
        actions << kDefaultAction << QStringLiteral("Ouvrir") << kOpenAction << QStringLiteral("Ouvrir");
    // A service that reads markup would take a "<" or "&" of a server's message for a tag.
    const QString body = offered.contains(QStringLiteral("body-markup")) ? notice.body.toHtmlEscaped() : notice.body;
    QDBusMessage notify = Call(QStringLiteral("Notify"));
    notify << QStringLiteral("Lectoria") << 0u << kIconName << notice.summary << body << actions
           << QVariantMap{{QStringLiteral("desktop-entry"), kDesktopEntry}} << notice.expiryMs;
    const QDBusMessage reply = bus_.call(notify, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    id_ = reply.arguments().constFirst().toUInt();
    shown_ = true;
    return true;
}

bool DBusNotifier::WaitForOpen(std::chrono::milliseconds bound) {
    if (!shown_ || !canOpen_)
        return false;
    if (!answered_) {
        QEventLoop loop;
        waiting_ = &loop;
        QTimer::singleShot(bound, &loop, &QEventLoop::quit);
        loop.exec();
        waiting_ = nullptr;
    }
    return open_;
}

void DBusNotifier::OnSignal(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    const uint id = arguments.value(0).toUInt();
    if (message.member() == QLatin1String("ActionInvoked"))
        Answer(id, arguments.value(1).toString() == kOpenAction || arguments.value(1).toString() == kDefaultAction);
    else if (message.member() == QLatin1String("NotificationClosed"))
        Answer(id, false);
}

void DBusNotifier::Answer(uint id, bool open) {
    // The service tells every client about every notification: only ours counts, and only its
    // first answer (a service closes a notification once its action is chosen).
    if (!shown_ || id != id_ || answered_)
        return;
    if (open)
        return Settle(true);
    if (closing_)
        return;
    closing_ = true;
    QTimer::singleShot(kLateClickMs, this, [this] {
        if (!answered_)
            Settle(false);
    });
}

void DBusNotifier::Settle(bool open) {
    answered_ = true;
    open_ = open;
    if (waiting_)
        waiting_->quit();
}

} // namespace lectoria::catchup
