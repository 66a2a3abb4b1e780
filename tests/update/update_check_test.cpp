#include "update/update_check.h"

#include "support/doubles.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace lectoria {
namespace {

using testing_support::RecordingMessages;
using testing_support::RecordingOpener;

struct Stage {
    QString text;
    int value = 0;
    bool busy = false;
    bool operator==(const Stage&) const = default;
};

void PrintTo(const Stage& s, std::ostream* os) {
    *os << '{' << s.text.toStdString() << ", " << s.value << ", " << (s.busy ? "busy" : "default") << '}';
}

class RecordingView final : public UpdateView {
public:
    void ShowProgressText(const QString& text) override { current.text = text; }
    void ShowProgressValue(int value) override { current.value = value; }
    void SetBusyCursor(bool busy) override { current.busy = busy; }
    void ProcessPendingEvents() override {
        atFetch = current;
        if (duringEvents)
            duringEvents();
    }
    Stage current;
    std::optional<Stage> atFetch;
    std::function<void()> duringEvents;
};

class ScriptedFetcher final : public HistoryFetcher {
public:
    FetchResult Fetch(const QUrl& url) override {
        fetched.push_back(url);
        return result;
    }
    void Cancel() override { ++cancels; }
    FetchResult result;
    std::vector<QUrl> fetched;
    int cancels = 0;
};

const AuthorSettings kAuthor{QStringLiteral("auteur.test:8080"), QStringLiteral("a@auteur.test"),
                             QStringLiteral("http://auteur.test")};
const QString kApp = QStringLiteral("1.1.8");
const QString kMarker = QStringLiteral("Historique Lectoria\r\n");

struct CheckCase {
    const char* name;
    FetchResult fetched;
    int answer;
    Stage finalStage;
    QString message; // "text|style|title"; empty: no message
    QString opened;  // empty: nothing opened
};

// Named in ctest's listing and in failures by its case name, not by a dump of its bytes.
void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<CheckCase> CheckCases() {
    const QString archive = QStringLiteral("http://auteur.test:8080/divers/download/VB/Lectoria.zip");
    const QString page = QStringLiteral("http://auteur.test:8080/applis.htm#lctr");
    const QString upToDate = QStringLiteral("Dernière version : 1.1.8\r\n\r\nVotre version est à jour.|64|Mise à jour");
    const QString offer = QStringLiteral("Votre version : 1.1.8\r\nVersion disponible : 1.2.0\r\n\r\nVoulez-vous "
                                         "télécharger cette version ?|4|Mise à jour");
    const QString failure = QStringLiteral(
        "Echec lors de la connexion.\r\n\r\nVeuillez vérifier que votre connexion internet est active et que votre "
        "firewall ne bloque pas la mise à jour.\r\n\r\nVoulez-vous essayer d'accéder à la page internet du logiciel "
        "?|276|Echec de connexion");
    const auto text = [](const QString& t) { return FetchResult{FetchStatus::Completed, t}; };
    const FetchResult failed{FetchStatus::Failed, {}};
    const Stage analysed{"Analyse", 100}, done{"Terminé", 100}, echec{"Echec", 100};
    const Stage stoppedAtTwo{"Connexion", 50}, stoppedAtOne{"Connexion", 25};
    const QString newer = kMarker + "*1.2.0\t";
    return {
        {"UpToDateKeepsAnalyse", text(kMarker + "*1.1.8\t"), kAnswerYes, analysed, upToDate, {}},
        {"NewerAcceptedOpensArchive", text(newer), kAnswerYes, done, offer, archive},
        {"NewerDeclinedOpensNothing", text(newer), kAnswerNo, done, offer, {}},
        {"NoMarkerDeclinedOpensNothing", text("autre chose *1.2.0\t"), kAnswerNo, echec, failure, {}},
        {"FailedFetchOffersPage", failed, kAnswerYes, echec, failure, page},
        // The reader's verdicts are tried in history_reader_test.cpp; here, what the check does with each.
        {"NoStarEndsSilently", text(kMarker + "1.2.0\t"), kAnswerYes, stoppedAtTwo, {}, {}},
        {"MarkerPastLimitStopsAtStageOne", text(QString(40000, 'x') + newer), kAnswerYes, stoppedAtOne, {}, {}},
        {"CancelledFetchEndsSilently", {FetchStatus::Cancelled, {}}, kAnswerYes, stoppedAtOne, {}, {}},
    };
}

// One check with its doubles.
struct CheckRig {
    explicit CheckRig(FetchResult result) { fetcher.result = std::move(result); }
    RecordingView view;
    ScriptedFetcher fetcher;
    RecordingMessages sink;
    RecordingOpener opener;
    UpdateCheck check{view, fetcher, sink, opener, kAuthor, kApp};
};

class UpdateCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(UpdateCheckTest, StagesMessageAndOpenedAddress) {
    const CheckCase& c = GetParam();
    CheckRig rig(c.fetched);
    rig.sink.answer = c.answer;
    auto& [view, fetcher, sink, opener, check] = rig;

    check.Run();

    ASSERT_TRUE(view.atFetch.has_value());
    EXPECT_EQ(*view.atFetch, (Stage{"Connexion", 25, true}));
    EXPECT_GE(fetcher.cancels, 1); // any earlier transfer is stopped before the fetch
    ASSERT_EQ(fetcher.fetched.size(), 1u);
    EXPECT_EQ(fetcher.fetched[0].toString(), "http://auteur.test:8080/divers/download/VB/lctr_hist.txt");
    EXPECT_EQ(view.current, c.finalStage);
    QStringList opened;
    for (const QUrl& url : opener.opened)
        opened << url.toString();
    EXPECT_EQ(sink.shown, c.message.isEmpty() ? QStringList{} : QStringList{c.message});
    EXPECT_EQ(opened, c.opened.isEmpty() ? QStringList{} : QStringList{c.opened});
    EXPECT_FALSE(check.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(Cases, UpdateCheckTest, ::testing::ValuesIn(CheckCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A check run from the events it processes is refused; the next one starts from the first stage;
// one abandoned while painting fetches and shows nothing, then and ever after.
TEST(UpdateCheckLifecycle, OneAtATimeEachFromTheFirstStageAndAbandonedForGood) {
    CheckRig rig({FetchStatus::Failed, {}});
    rig.view.duringEvents = [&] {
        EXPECT_TRUE(rig.check.IsRunning());
        rig.check.Run();
    };
    rig.check.Run();
    EXPECT_EQ(rig.fetcher.fetched.size(), 1u);
    EXPECT_EQ(rig.sink.shown.size(), 1);
    ASSERT_EQ(rig.view.current, (Stage{"Echec", 100}));

    rig.view.duringEvents = nullptr;
    rig.fetcher.result = {FetchStatus::Completed, kMarker + "*1.1.8\t"};
    rig.check.Run();
    EXPECT_EQ(*rig.view.atFetch, (Stage{"Connexion", 25, true}));
    EXPECT_EQ(rig.view.current, (Stage{"Analyse", 100}));
    EXPECT_EQ(rig.check.HistoryText(), kApp); // the working value now holds the latest version

    rig.view.duringEvents = [&] { rig.check.Abandon(); };
    rig.fetcher.fetched.clear();
    rig.sink.shown.clear();
    rig.check.Run();
    rig.view.duringEvents = nullptr;
    rig.check.Run();
    EXPECT_TRUE(rig.fetcher.fetched.empty());
    EXPECT_TRUE(rig.sink.shown.isEmpty());
}

} // namespace
} // namespace lectoria
