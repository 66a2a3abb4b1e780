// The About window driven as a user drives it; its place and names are in accessibility_test.cpp.
#include "support/test_server.h"
#include "ui/link_label.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>

namespace lectoria::testing_support {
namespace {

void MoveOver(QWidget* widget) {
    const QPoint at(2, 2);
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

class AboutWindowTest : public AboutFixture {
public:
    LinkLabel* Site() { return Control<LinkLabel>("lbl_site"); }
    LinkLabel* Email() { return Control<LinkLabel>("lbl_email"); }
};

TEST_F(AboutWindowTest, EveryWayOfClosingDeletesItAndEnablesTheMainWindow) {
    const std::pair<const char*, std::function<void(AboutWindowTest&)>> ways[] = {
        {"OkClicked", [](AboutWindowTest& t) { QTest::mouseClick(t.Control("cmdOK"), Qt::LeftButton); }},
        {"EnterRightAfterOpening", [](AboutWindowTest& t) { QTest::keyClick(t.about->focusWidget(), Qt::Key_Return); }},
        {"EscapeWithFocusOnUpdate",
         [](AboutWindowTest& t) {
             t.Control("cmdUpdate")->setFocus();
             QTest::keyClick(t.Control("cmdUpdate"), Qt::Key_Escape);
         }},
        {"EscapeOnALink", [](AboutWindowTest& t) { QTest::keyClick(t.Email(), Qt::Key_Escape); }},
        {"CloseBox", [](AboutWindowTest& t) { t.about->close(); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        Open();
        ASSERT_FALSE(mainWindow.isEnabled());
        close(*this);
        EXPECT_TRUE(WaitUntilClosed());
        EXPECT_TRUE(mainWindow.isEnabled());
    }
}

TEST_F(AboutWindowTest, LinksEmphasiseOnMovesOverThem) {
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
        MoveOver(QLatin1String(m.over) == QLatin1String("frmAbout") ? about.data() : Control(m.over));
        EXPECT_EQ(Site()->IsEmphasised(), m.siteBold);
        EXPECT_EQ(Email()->IsEmphasised(), m.emailBold);
    }
}

// By mouse, keyboard or a screen reader's press action, each link opens its exact address and the
// window stays.
TEST_F(AboutWindowTest, LinksOpenTheirAddressesHoweverFollowed) {
    const std::pair<const char*, std::function<void(QWidget*)>> ways[] = {
        {"click", [](QWidget* link) { QTest::mouseClick(link, Qt::LeftButton); }},
        {"Enter", [](QWidget* link) { QTest::keyClick(link, Qt::Key_Return); }},
        {"Space", [](QWidget* link) { QTest::keyClick(link, Qt::Key_Space); }},
        {"press action",
         [](QWidget* link) {
             QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(link)->actionInterface();
             ASSERT_NE(actions, nullptr);
             ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
             actions->doAction(QAccessibleActionInterface::pressAction());
         }},
    };
    for (const auto& [name, follow] : ways) {
        SCOPED_TRACE(name);
        opener.opened.clear();
        Open();
        for (QWidget* link : {static_cast<QWidget*>(Site()), static_cast<QWidget*>(Email())}) {
            link->setFocus();
            follow(link);
        }
        ASSERT_EQ(opener.opened.size(), 2u);
        EXPECT_EQ(opener.opened[0].toEncoded(), "http://auteur.test");
        // What the desktop's launcher is handed: a blank is "%20", never "+" nor a doubled escape.
        EXPECT_EQ(opener.opened[1].toEncoded(), "mailto:moi@auteur.test?subject=Lectoria%20v1.1.8");
        EXPECT_TRUE(about->isVisible());
        EXPECT_FALSE(mainWindow.isEnabled());
        about->close();
        ASSERT_TRUE(WaitUntilClosed());
    }
}

// The check's stages and messages are tested with doubles in tests/update; here, that the
// window shows them, reaches the author's host, and starts fresh when reopened.
TEST_F(AboutWindowTest, UpdateCheckShowsItsStagesAndAReopenedWindowStartsFresh) {
    TestServer server;
    server.routes().Get("/divers/download/VB/lctr_hist.txt", [](const httplib::Request&, httplib::Response& r) {
        r.set_content("Historique Lectoria\r\n*1.2.0\tnotes", "text/plain");
    });
    settings.author.AuthorHost = QStringLiteral("127.0.0.1:%1").arg(server.port());
    sink.answer = kAnswerYes;
    Open();
    MoveOver(Site());
    MoveOver(Email());
    QTest::mouseClick(Control("cmdUpdate"), Qt::LeftButton);
    EXPECT_TRUE(Control("lbl_progress")->isVisible());
    EXPECT_EQ(Control<QLabel>("lbl_progress")->text(), "Terminé");
    EXPECT_EQ(Control<QProgressBar>("ProgressBar1")->value(), 100);
    EXPECT_EQ(about->cursor().shape(), Qt::ArrowCursor); // the busy cursor is gone
    EXPECT_TRUE(Control("cmdUpdate")->isEnabled());
    EXPECT_EQ(about->focusWidget(), Control("cmdUpdate")); // not moved on to OK while it was disabled
    EXPECT_EQ(sink.shown, QStringList{"Votre version : 1.1.8\r\nVersion disponible : 1.2.0\r\n\r\nVoulez-vous "
                                      "télécharger cette version ?|4|Mise à jour"});
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0].toString(), QString::fromStdString(server.url("/divers/download/VB/Lectoria.zip")));
    about->close();
    ASSERT_TRUE(WaitUntilClosed());

    Open();
    EXPECT_FALSE(Control("lbl_progress")->isVisible());
    EXPECT_FALSE(Control("ProgressBar1")->isVisible());
    EXPECT_FALSE(Site()->IsEmphasised());
    EXPECT_FALSE(Email()->IsEmphasised());
    EXPECT_EQ(about->focusWidget(), Control("cmdOK"));
}

// Closed from inside the check's wait, once the request has arrived: no failure shown later.
TEST_F(AboutWindowTest, ClosedDuringAPendingFetch) {
    TestServer server;
    bool sawWait = false;
    server.routes().Get("/divers/download/VB/lctr_hist.txt", [&](const httplib::Request&, httplib::Response& r) {
        QMetaObject::invokeMethod(qApp, [&] {
            sawWait = !Control("cmdUpdate")->isEnabled() && about->cursor().shape() == Qt::WaitCursor &&
                      Control<QLabel>("lbl_progress")->text() == "Connexion" &&
                      Control<QProgressBar>("ProgressBar1")->value() == 25;
            about->close();
        });
        server.Hold();
        r.set_content("Historique Lectoria\r\n*1.2.0\t", "text/plain");
    });
    settings.author.AuthorHost = QStringLiteral("127.0.0.1:%1").arg(server.port());
    Open();
    Control<QPushButton>("cmdUpdate")->click(); // returns once the close has stopped the check
    EXPECT_TRUE(sawWait);
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_TRUE(WaitUntilClosed());
    EXPECT_TRUE(sink.shown.isEmpty()); // a fetch left to its time-out would show the failure
    EXPECT_TRUE(opener.opened.empty());
}

} // namespace
} // namespace lectoria::testing_support
