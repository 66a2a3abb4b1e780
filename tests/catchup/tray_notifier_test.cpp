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

// Windows keeps 255 characters of a balloon: a fortnight of editions is cut after a whole one, and
// the line saying what a click does stays.
TEST(TrayNotifier, ALongListLeavesRoomForTheHint) {
    const QString hint = "Cliquez ici pour ouvrir la dernière édition.";
    EXPECT_EQ(BalloonText("Metro Paris du 09/12/2026", hint), "Metro Paris du 09/12/2026\n" + hint);
    EXPECT_EQ(BalloonText("Metro Paris du 09/12/2026", ""), "Metro Paris du 09/12/2026");

    QStringList editions;
    for (int day = 1; day <= 22; ++day)
        editions << QString("20 minutes Paris du %1/12/2026").arg(day, 2, 10, QChar('0'));
    const QString failure = "20 minutes Paris du 23/12/2026 : échec. Le serveur ne répond plus.";
    for (const QString& body : {editions.join(", "), editions.join(", ") + "\n" + failure}) {
        for (const QString& end : {hint, QString()}) {
            const QString text = BalloonText(body, end);
            EXPECT_LE(text.size(), kBalloonTextLimit);
            const QString kept = end.isEmpty() ? text : text.chopped(end.size() + 1);
            EXPECT_TRUE(text.endsWith(end.isEmpty() ? QString(" …") : " …\n" + end)) << text.toStdString();
            EXPECT_TRUE(kept.startsWith(editions[0]));
            EXPECT_TRUE(editions.contains(kept.chopped(2).split(", ").last())) << kept.toStdString(); // a whole one
        }
    }
    // One line longer than the room, with a character outside the basic plane at the cut.
    const qsizetype room = kBalloonTextLimit - hint.size() - 3; // the line break and « … »
    const QString wide = QString(room - 1, 'a') + QString::fromUcs4(U"\U0001F4F0") + QString(40, 'b');
    const QString cut = BalloonText(wide, hint);
    EXPECT_LE(cut.size(), kBalloonTextLimit);
    EXPECT_EQ(cut, QString(room - 1, 'a') + " …\n" + hint);
}
