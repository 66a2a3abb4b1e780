#include "ui/about_window.h"

#include "support/doubles.h"
#include "support/qt_printers.h"
#include "support/test_server.h"
#include "ui/link_label.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <functional>

namespace lectoria {
namespace {

using namespace std::chrono_literals;
using testing_support::RecordingMessages;
using testing_support::RecordingOpener;
using testing_support::TestServer;

// Runs events, deferred deletions included, until `done` holds or the bound passes.
bool WaitUntil(const std::function<bool()>& done, int boundMs = 5000) {
    QDeadlineTimer deadline(boundMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void MoveOver(QWidget* widget, QPoint at = {2, 2}) {
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

class AboutWindowTest : public ::testing::Test {
public:
    void SetUp() override {
        state.AppVersion = QStringLiteral("1.1.8");
        settings.author = {QStringLiteral("auteur.test"), QStringLiteral("moi@auteur.test"),
                           QStringLiteral("http://auteur.test/court")};
        settings.fetch.timeout = 5s;
        mainWindow.setGeometry(200, 133, 400, 300); // outer corner at 3000, 2000 twips
        mainWindow.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    }
    void TearDown() override {
        if (about)
            delete about.data();
    }

    void Open() {
        about = frmAbout::Open(&mainWindow, state, opener, sink, settings);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(about.data()));
    }
    void ServeHistoryFrom(TestServer& server) {
        settings.author.AuthorHost = QStringLiteral("127.0.0.1:%1").arg(server.port());
    }
    template <typename T> T* Control(const char* name) { return about->findChild<T*>(QLatin1String(name)); }
    LinkLabel* Site() { return Control<LinkLabel>("lbl_site"); }
    LinkLabel* Email() { return Control<LinkLabel>("lbl_email"); }

    SelectionState state;
    AboutSettings settings;
    RecordingOpener opener;
    RecordingMessages sink;
    QWidget mainWindow;
    QPointer<frmAbout> about;
};

TEST_F(AboutWindowTest, OpensBesideTheMainWindowWithItsLayout) {
    Open();
    EXPECT_EQ(about->windowTitle(), "À propos de Lectoria");
    EXPECT_EQ(about->pos(), mainWindow.frameGeometry().topLeft() + QPoint(107, 33));
    EXPECT_EQ(about->size(), QSize(219, 134));
    EXPECT_EQ(about->minimumSize(), about->maximumSize());
    EXPECT_EQ(about->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_TRUE(about->isEnabled()); // not held down by the disabled main window

    const struct {
        const char* name;
        QRect at;
        bool visible;
    } controls[] = {
        {"cmdOK", {160, 88, 52, 25}, true},        {"lbl_name", {8, 8, 197, 24}, true},
        {"lbl_site", {64, 40, 97, 17}, true},      {"lbl_email", {40, 64, 145, 17}, true},
        {"cmdUpdate", {8, 88, 135, 25}, true},     {"ProgressBar1", {80, 118, 142, 16}, false},
        {"lbl_progress", {8, 120, 65, 17}, false},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        QWidget* control = Control<QWidget>(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), c.at);
        EXPECT_EQ(control->isVisible(), c.visible);
    }
    auto* name = Control<QLabel>("lbl_name");
    EXPECT_EQ(name->text(), "Lectoria v1.1.8");
    EXPECT_EQ(QFontInfo(name->font()).family(), "Comic Neue"); // the font package is installed
    for (LinkLabel* link : {Site(), Email()}) {
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_FALSE(link->IsEmphasised());
        EXPECT_EQ(link->cursor().hotSpot(), QPoint(12, 1));
    }
    EXPECT_EQ(Site()->toolTip(), "http://auteur.test/court");
    EXPECT_EQ(about->focusWidget(), Control<QPushButton>("cmdOK"));
}

TEST_F(AboutWindowTest, EveryWayOfClosingDeletesItAndEnablesTheMainWindow) {
    const struct {
        const char* name;
        std::function<void(AboutWindowTest&)> close;
    } ways[] = {
        {"OkClicked", [](AboutWindowTest& t) { QTest::mouseClick(t.Control<QPushButton>("cmdOK"), Qt::LeftButton); }},
        {"EnterRightAfterOpening", [](AboutWindowTest& t) { QTest::keyClick(t.about->focusWidget(), Qt::Key_Return); }},
        {"EscapeWithFocusOnUpdate",
         [](AboutWindowTest& t) {
             t.Control<QPushButton>("cmdUpdate")->setFocus();
             QTest::keyClick(t.Control<QPushButton>("cmdUpdate"), Qt::Key_Escape);
         }},
        {"CloseBox", [](AboutWindowTest& t) { t.about->close(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        Open();
        ASSERT_FALSE(mainWindow.isEnabled());
        way.close(*this);
        EXPECT_TRUE(WaitUntil([this] { return about.isNull(); }));
        EXPECT_TRUE(mainWindow.isEnabled());
    }
}

TEST_F(AboutWindowTest, LinksEmphasiseOnMovesOverThemAndOpenTheirAddresses) {
    Open();
    const struct {
        const char* over;
        bool siteBold;
        bool emailBold;
    } moves[] = {
        {"lbl_site", true, false}, {"cmdOK", true, false},     {"lbl_email", true, true},  {"lbl_name", true, true},
        {"cmdUpdate", true, true}, {"frmAbout", false, false}, {"lbl_email", false, true}, {"frmAbout", false, false},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(m.over);
        QWidget* target = QLatin1String(m.over) == QLatin1String("frmAbout") ? about.data() : Control<QWidget>(m.over);
        MoveOver(target);
        EXPECT_EQ(Site()->IsEmphasised(), m.siteBold);
        EXPECT_EQ(Email()->IsEmphasised(), m.emailBold);
    }

    // A click opens the exact address, and the window stays.
    QTest::mouseClick(Site(), Qt::LeftButton);
    QTest::mouseClick(Email(), Qt::LeftButton);
    ASSERT_EQ(opener.opened.size(), 2u);
    EXPECT_EQ(opener.opened[0].toEncoded(), "http://auteur.test");
    // What the desktop's launcher is handed: a blank is "%20", never "+" nor a doubled escape.
    EXPECT_EQ(opener.opened[1].toEncoded(), "mailto:moi@auteur.test?subject=Lectoria%20v1.1.8");
    EXPECT_FALSE(about.isNull());
    EXPECT_FALSE(mainWindow.isEnabled());
}

// The check's stages and messages are tested with doubles in tests/update; here, that the
// window shows them, reaches the author's host, and starts fresh when reopened.
TEST_F(AboutWindowTest, UpdateCheckShowsItsStagesAndAReopenedWindowStartsFresh) {
    TestServer server;
    server.routes().Get("/divers/download/VB/lctr_hist.txt", [](const httplib::Request&, httplib::Response& r) {
        r.set_content("Historique Lectoria\r\n*1.2.0\tnotes", "text/plain");
    });
    ServeHistoryFrom(server);
    sink.answer = kAnswerYes;
    Open();
    MoveOver(Site());
    MoveOver(Email());
    QTest::mouseClick(Control<QPushButton>("cmdUpdate"), Qt::LeftButton);
    EXPECT_TRUE(Control<QLabel>("lbl_progress")->isVisible());
    EXPECT_EQ(Control<QLabel>("lbl_progress")->text(), "Terminé");
    EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 100);
    EXPECT_EQ(about->cursor().shape(), Qt::ArrowCursor); // the busy cursor is gone
    EXPECT_TRUE(Control<QPushButton>("cmdUpdate")->isEnabled());
    EXPECT_EQ(sink.shown, QStringList{"Votre version : 1.1.8\r\nVersion disponible : 1.2.0\r\n\r\nVoulez-vous "
                                      "télécharger cette version ?|4|Mise à jour"});
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0].toString(), QString::fromStdString(server.url("/divers/download/VB/Lectoria.zip")));
    about->close();
    ASSERT_TRUE(WaitUntil([this] { return about.isNull(); }));

    Open();
    EXPECT_FALSE(Control<QLabel>("lbl_progress")->isVisible());
    EXPECT_FALSE(Control<QProgressBar>("ProgressBar1")->isVisible());
    EXPECT_FALSE(Site()->IsEmphasised());
    EXPECT_FALSE(Email()->IsEmphasised());
    EXPECT_EQ(about->focusWidget(), Control<QPushButton>("cmdOK"));
}

TEST_F(AboutWindowTest, ClosedDuringAPendingFetch) {
    TestServer server;
    bool sawWait = false;
    // Once the request has arrived, the window is closed from inside the check's wait.
    server.routes().Get("/divers/download/VB/lctr_hist.txt", [&](const httplib::Request&, httplib::Response& r) {
        QMetaObject::invokeMethod(qApp, [&] {
            sawWait = !Control<QPushButton>("cmdUpdate")->isEnabled() && about->cursor().shape() == Qt::WaitCursor &&
                      Control<QLabel>("lbl_progress")->text() == "Connexion" &&
                      Control<QProgressBar>("ProgressBar1")->value() == 25;
            about->close();
        });
        server.Hold();
        r.set_content("Historique Lectoria\r\n*1.2.0\t", "text/plain");
    });
    ServeHistoryFrom(server);
    Open();
    Control<QPushButton>("cmdUpdate")->click(); // returns once the close has stopped the check
    EXPECT_TRUE(sawWait);
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_TRUE(WaitUntil([this] { return about.isNull(); }));
    EXPECT_TRUE(sink.shown.isEmpty()); // a fetch left to its time-out would show the failure
    EXPECT_TRUE(opener.opened.empty());
}

} // namespace
} // namespace lectoria
