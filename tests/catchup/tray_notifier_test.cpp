// The notice of a run in the taskbar's notification area (Windows), driven through its icon.
#include "catchup/tray_notifier.h"

#include <gtest/gtest.h>

#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

using namespace lectoria::catchup;
using namespace std::chrono_literals;

namespace {

QIcon SomeIcon() {
    QPixmap pixels(16, 16);
    pixels.fill(Qt::blue);
    return QIcon(pixels);
}

const ArrivalNotice kNotice{"2 éditions téléchargées", "Metro Paris, 20 minutes Paris", "C:\\Presse\\e.pdf", -1};

} // namespace

// A click on the message is « Ouvrir »; without one the wait ends at its bound. Either way the
// icon leaves the area with the run. Where there is no notification area (a Linux desktop, or
// offscreen), nothing is shown and the run goes on.
TEST(TrayNotifier, AClickOnTheMessageOpensTheEdition) {
    TrayNotifier notifier(SomeIcon());
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        EXPECT_FALSE(notifier.Show(kNotice));
        EXPECT_FALSE(notifier.WaitForOpen(0ms));
        GTEST_SKIP() << "no notification area here (Windows has one)";
    }
    ASSERT_TRUE(notifier.Show(kNotice));
    ASSERT_NE(notifier.Icon(), nullptr);
    EXPECT_TRUE(notifier.Icon()->isVisible());
    QTimer::singleShot(0, notifier.Icon(), [&] { emit notifier.Icon()->messageClicked(); });
    EXPECT_TRUE(notifier.WaitForOpen(60s));
    EXPECT_FALSE(notifier.Icon()->isVisible());

    TrayNotifier unanswered(SomeIcon());
    ASSERT_TRUE(unanswered.Show(kNotice));
    EXPECT_FALSE(unanswered.WaitForOpen(50ms));
    EXPECT_FALSE(unanswered.Icon()->isVisible());
    EXPECT_FALSE(TrayNotifier(QIcon()).Show(kNotice)); // no icon, nothing to show in the area
}
