#pragma once

#include "catchup/catch_up.h"
#include "update/url_opener.h"

#include <QList>
#include <QString>
#include <chrono>
#include <optional>

namespace lectoria::catchup {

// What the desktop is told after a run: a summary, a body naming the editions, and the newest
// fetched edition that the « Ouvrir » action opens (none when nothing arrived).
struct ArrivalNotice {
    QString summary;
    QString body;
    QString newestFile;
    int expiryMs = -1; // how long the notification stays up; -1: as the service likes
};

// Nothing when the run fetched nothing and nothing failed. Fetched editions are named in the
// order they came, failures in the words the command line prints; `stop` is the message of a
// run that stopped early (a refused folder, no connection), empty otherwise.
std::optional<ArrivalNotice> NoticeFor(const QList<EditionReport>& editions, const QString& stop);

// The desktop's notification service.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    // Shows the notice, with the « Ouvrir » action when there is a file to open. False when no
    // notification service could be reached.
    virtual bool Show(const ArrivalNotice& notice) = 0;
    // Waits until the user chooses the action (true), the notification is closed, or `bound`
    // has passed (false).
    virtual bool WaitForOpen(std::chrono::milliseconds bound) = 0;
};

// Shows the notice of a run, if there is one, and opens the newest edition when the user asks
// within `wait`; the notice then stays up as long as the wait. With no wait at all, or when the
// opener cannot work here (no xdg-open), the notice offers no « Ouvrir ».
void NotifyArrivals(const QList<EditionReport>& editions, const QString& stop, DesktopNotifier& notifier,
                    UrlOpener& opener, std::chrono::milliseconds wait);

inline constexpr std::chrono::milliseconds kNotificationWait{10 * 60 * 1000};

// kNotificationWait, unless LECTORIA_ATTENTE_NOTIFICATION gives another wait in whole seconds
// (a diagnostic switch, used by the tests).
std::chrono::milliseconds NotificationWait();

} // namespace lectoria::catchup
