#pragma once

#include "catchup/arrival_notice.h"

#include <QIcon>
#include <QObject>
#include <memory>

class QEventLoop;
class QSystemTrayIcon;

namespace lectoria::catchup {

// The notification area of the Windows taskbar: Lectoria's icon shows the notice as its message,
// and a click on the message is the « Ouvrir » action. Needs a QApplication; without one, or
// without a notification area, Show() is false and nothing is said.
class TrayNotifier final : public QObject, public DesktopNotifier {
    Q_OBJECT

public:
    explicit TrayNotifier(QIcon icon);
    ~TrayNotifier() override;
    bool Show(const ArrivalNotice& notice) override;
    bool WaitForOpen(std::chrono::milliseconds bound) override;

    // The icon, for the tests.
    QSystemTrayIcon* Icon() const { return icon_.get(); }

private:
    void Settle(bool open);

    QIcon picture_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    bool answered_ = false;
    bool open_ = false;
    QEventLoop* waiting_ = nullptr;
};

// A balloon's text as Windows can show it: at most 255 characters (the system keeps no more, and
// Qt cuts the rest without a word), ending with `hint` when there is one. A longer list of
// editions is cut after a whole edition and ends with « … », so that the hint saying what a click
// does is never the part that goes.
inline constexpr qsizetype kBalloonTextLimit = 255;
QString BalloonText(const QString& body, const QString& hint);

// The desktop's own way: the notification service over D-Bus on Linux, the taskbar's
// notification area on Windows, with `icon` there.
std::unique_ptr<DesktopNotifier> MakeDesktopNotifier(const QIcon& icon);

} // namespace lectoria::catchup
