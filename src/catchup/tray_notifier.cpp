#include "catchup/tray_notifier.h"

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>
#include <utility>

namespace lectoria::catchup {

TrayNotifier::TrayNotifier(QIcon icon) : picture_(std::move(icon)) {}
TrayNotifier::~TrayNotifier() = default;

bool TrayNotifier::Show(const ArrivalNotice& notice) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || !QSystemTrayIcon::isSystemTrayAvailable() ||
        picture_.isNull())
        return false;
    icon_ = std::make_unique<QSystemTrayIcon>(picture_);
    icon_->setToolTip(QStringLiteral("Lectoria"));
    connect(icon_.get(), &QSystemTrayIcon::messageClicked, this, [this] { Settle(true); });
    // A click on the icon itself, once the message has gone, opens the edition all the same.
    connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Settle(true);
    });
    icon_->show();
    const QString hint =
        notice.newestFile.isEmpty() ? QString() : QStringLiteral("Cliquez ici pour ouvrir la dernière édition.");
    icon_->showMessage(notice.summary, BalloonText(notice.body, hint), QSystemTrayIcon::Information,
                       notice.expiryMs > 0 ? notice.expiryMs : 10000);
    return true;
}

bool TrayNotifier::WaitForOpen(std::chrono::milliseconds bound) {
    if (!icon_)
        return false;
    if (!answered_) {
        QEventLoop loop;
        waiting_ = &loop;
        QTimer::singleShot(bound, &loop, &QEventLoop::quit);
        loop.exec();
        waiting_ = nullptr;
    }
    icon_->hide(); // the icon goes with the program, not left behind in the area
    return open_;
}

QString BalloonText(const QString& body, const QString& hint) {
    const QString tail = hint.isEmpty() ? QString() : QLatin1Char('\n') + hint;
    if (body.size() + tail.size() <= kBalloonTextLimit)
        return body + tail;
    const QString more = QStringLiteral(" …");
    const qsizetype room = kBalloonTextLimit - tail.size() - more.size();
    // Back to the end of the last edition or line that fits whole.
    qsizetype cut = qMax(body.lastIndexOf(QStringLiteral(", "), room), body.lastIndexOf(QLatin1Char('\n'), room));
    if (cut <= 0) {
        cut = room; // one long line: cut it, but never between the halves of a character
        if (body.at(cut - 1).isHighSurrogate())
            --cut;
    }
    return body.left(cut) + more + tail;
}

void TrayNotifier::Settle(bool open) {
    if (answered_)
        return;
    answered_ = true;
    open_ = open;
    if (waiting_)
        waiting_->quit();
}

} // namespace lectoria::catchup
