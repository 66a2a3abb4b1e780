// The notice after a run, and what is done with the user's answer, against a scripted notifier.
#include "catchup/arrival_notice.h"

#include "support/doubles.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace lectoria;
using namespace lectoria::catchup;

namespace {

EditionReport Report(const char* paper, int day, EditionStatus status, const char* error = "") {
    return {{paper, "Paris", QDate(2026, 12, day)}, {}, QString("/presse/%1_%2").arg(day).arg(paper), status, 0, error};
}

struct ScriptedNotifier final : DesktopNotifier {
    bool reachable = true;
    bool open = true;
    QList<ArrivalNotice> shown;
    int waits = 0;
    bool Show(const ArrivalNotice& notice) override {
        shown << notice;
        return reachable;
    }
    bool WaitForOpen(std::chrono::milliseconds) override {
        ++waits;
        return open;
    }
};

} // namespace

TEST(ArrivalNotice, SummaryBodyAndTheNewestFetchedEdition) {
    using S = EditionStatus;
    struct Case {
        QList<EditionReport> editions;
        QString stop;
        const char* summary; // nullptr: no notice
        QString body;
        QString newest;
    };
    const Case cases[] = {
        {{Report("Metro", 7, S::Present), Report("Metro", 8, S::NotPublished, "absente")}, {}, nullptr, {}, {}},
        {{Report("Metro", 7, S::Fetched)}, {}, "1 édition arrivée", "Metro Paris du 07/12/2026", "/presse/7_Metro"},
        {{Report("Metro", 8, S::Fetched), Report("20 minutes", 8, S::Fetched), Report("Metro", 9, S::Removed)},
         {},
         "2 éditions arrivées",
         "Metro Paris du 08/12/2026, 20 minutes Paris du 08/12/2026",
         "/presse/8_20 minutes"},
        {{Report("Metro", 7, S::Fetched), Report("Metro", 8, S::Failed, "Coupure.")},
         "Pas de connexion internet disponible",
         "1 édition arrivée, 2 échecs",
         "Metro Paris du 07/12/2026\nMetro Paris du 08/12/2026 : échec. Coupure.\nPas de connexion internet disponible",
         "/presse/7_Metro"},
        {{},
         "Pas de connexion internet disponible",
         "Échec du téléchargement",
         "Pas de connexion internet disponible",
         {}},
    };
    for (const Case& c : cases) {
        const auto notice = NoticeFor(c.editions, c.stop);
        ASSERT_EQ(notice.has_value(), c.summary != nullptr) << c.body.toStdString();
        if (!notice)
            continue;
        EXPECT_EQ(notice->summary, QString(c.summary));
        EXPECT_EQ(notice->body, c.body);
        EXPECT_EQ(notice->newestFile, c.newest);
    }
}

// The newest edition is opened only on the user's word; the run waits only for a shown notice with
// something to open, and a run by hand (no wait) offers no « Ouvrir » that nobody would serve.
TEST(ArrivalNotice, OpensOnlyWhatTheUserAsksFor) {
    struct Case {
        QList<EditionReport> editions;
        bool reachable;
        bool open;
        int waits;
        std::vector<QUrl> opened;
        bool openerAvailable = true;
    };
    const QList<EditionReport> fetched{Report("Metro", 8, EditionStatus::Fetched)};
    const Case cases[] = {
        {fetched, true, true, 1, {QUrl::fromLocalFile("/presse/8_Metro")}},
        {fetched, true, false, 1, {}},
        {fetched, false, true, 0, {}},
        {{Report("Metro", 8, EditionStatus::Failed, "Coupure.")}, true, true, 0, {}},
        {fetched, true, true, 0, {}, false}, // no xdg-open: no « Ouvrir », no wait
    };
    for (const Case& c : cases) {
        ScriptedNotifier notifier;
        notifier.reachable = c.reachable;
        notifier.open = c.open;
        testing_support::RecordingOpener opener;
        opener.available = c.openerAvailable;
        NotifyArrivals(c.editions, {}, notifier, opener, std::chrono::seconds(1));
        ASSERT_EQ(notifier.shown.size(), 1);
        EXPECT_EQ(notifier.waits, c.waits);
        EXPECT_EQ(opener.opened, c.opened);
        // Offered « Ouvrir », the notice stays up exactly as long as the run waits for it.
        const bool offered = !notifier.shown[0].newestFile.isEmpty();
        EXPECT_EQ(offered, c.openerAvailable && c.editions[0].status == EditionStatus::Fetched);
        EXPECT_EQ(notifier.shown[0].expiryMs, offered ? 1000 : -1);
    }
    ScriptedNotifier byHand;
    testing_support::RecordingOpener opener;
    NotifyArrivals(fetched, {}, byHand, opener, std::chrono::milliseconds(0));
    ASSERT_EQ(byHand.shown.size(), 1);
    EXPECT_TRUE(byHand.shown[0].newestFile.isEmpty());
    EXPECT_EQ(byHand.waits, 0);
    EXPECT_TRUE(opener.opened.empty());
}
