#pragma once

#include "catchup/arrival_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

class QEventLoop;

namespace lectoria::catchup {

// The freedesktop.org notification service (org.freedesktop.Notifications) on the session bus,
// over Qt D-Bus. Without a session bus or without the service, Show() is false and nothing is
// said: a run from cron or on a server stays as it was.
class DBusNotifier final : public QObject, public DesktopNotifier {
    Q_OBJECT

public:
    DBusNotifier();
    bool Show(const ArrivalNotice& notice) override;
    bool WaitForOpen(std::chrono::milliseconds bound) override;

private slots:
    void OnSignal(const QDBusMessage& message);

private:
    void Answer(uint id, bool open);
    void Settle(bool open);

    QDBusConnection bus_;
    bool shown_ = false;
    bool canOpen_ = false;
    uint id_ = 0;
    bool answered_ = false;
    bool closing_ = false; // closed, and waiting a moment for a click that may come after
    bool open_ = false;
    QEventLoop* waiting_ = nullptr;
};

} // namespace lectoria::catchup
