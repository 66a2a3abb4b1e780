#include "catchup/arrival_notice.h"

#include <limits>

#include "catchup/run_report.h"

#include <QStringList>
#include <QUrl>

namespace lectoria::catchup {

std::optional<ArrivalNotice> NoticeFor(const QList<EditionReport>& editions, const QString& stop) {
    QStringList fetched;
    QStringList failures;
    const EditionReport* newest = nullptr;
    for (const EditionReport& report : editions) {
        if (report.status == EditionStatus::Fetched) {
            fetched << EditionText(report.edition);
            if (!newest || report.edition.day >= newest->edition.day)
                newest = &report;
        } else if (report.status == EditionStatus::Failed) {
            failures << EditionLine(report);
        }
    }
    if (!stop.isEmpty())
        failures << stop;
    if (fetched.isEmpty() && failures.isEmpty())
        return std::nullopt;

    ArrivalNotice notice;
    const qsizetype failed = failures.size();
    if (fetched.isEmpty())
        notice.summary = failed == 1 ? QStringLiteral("Échec du téléchargement")
                                     : QStringLiteral("%1 échecs de téléchargement").arg(failed);
    else
        notice.summary = fetched.size() == 1 ? QStringLiteral("1 édition arrivée")
                                             : QStringLiteral("%1 éditions arrivées").arg(fetched.size());
    if (!fetched.isEmpty() && failed > 0)
        notice.summary += failed == 1 ? QStringLiteral(", 1 échec") : QStringLiteral(", %1 échecs").arg(failed);
    QStringList lines;
    if (!fetched.isEmpty())
        lines << fetched.join(QStringLiteral(", "));
    notice.body = (lines + failures).join(QLatin1Char('\n'));
    if (newest)
        notice.newestFile = newest->file;
    return notice;
}

void NotifyArrivals(const QList<EditionReport>& editions, const QString& stop, DesktopNotifier& notifier,
                    UrlOpener& opener, std::chrono::milliseconds wait) {
    auto notice = NoticeFor(editions, stop);
    if (notice && (wait.count() == 0 || !opener.Available()))
        notice->newestFile.clear();              // nobody to serve the click: no « Ouvrir » that would do nothing
    if (notice && !notice->newestFile.isEmpty()) // gone from the screen when the program stops waiting
        notice->expiryMs = static_cast<int>(qMin<qint64>(wait.count(), std::numeric_limits<int>::max()));
    if (!notice || !notifier.Show(*notice) || notice->newestFile.isEmpty())
        return;
    if (notifier.WaitForOpen(wait))
        opener.Open(QUrl::fromLocalFile(notice->newestFile));
}

std::chrono::milliseconds NotificationWait() {
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("LECTORIA_ATTENTE_NOTIFICATION", &ok);
    // A day at most: the wait goes to a timer counted in milliseconds on an int.
    return ok && seconds >= 0 ? std::chrono::milliseconds(qMin(seconds, 86400) * 1000LL) : kNotificationWait;
}

} // namespace lectoria::catchup
