// The windows as assistive technology sees them in process: every control's role and name
// from Qt's accessible tree, and the keyboard reaching and working the About window's links.
#include "download/download_doubles.h"
#include "storage/storage_doubles.h"
#include "support/doubles.h"
#include "support/qt_printers.h"
#include "transfer/progress_view.h"
#include "ui/about_window.h"
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <map>

namespace lectoria {
namespace {

using lectoria::testing::FakeDrives;
using lectoria::testing::FakePicker;
using lectoria::testing::FakeStore;
using namespace lectoria::testing_support;

struct Node {
    QAccessible::Role role;
    QString name;
    QString description;
    bool focusable;
};

// Every visible widget under `root` by object name, as its accessible interface describes it.
std::map<QString, Node> AccessibleTree(QWidget* root) {
    std::map<QString, Node> nodes;
    std::vector<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(root)};
    while (!pending.empty()) {
        QAccessibleInterface* node = pending.back();
        pending.pop_back();
        if (!node || !node->isValid() || node->state().invisible)
            continue;
        if (node->object() && node->object()->isWidgetType() && !node->object()->objectName().isEmpty())
            nodes[node->object()->objectName()] = {node->role(), node->text(QAccessible::Name),
                                                   node->text(QAccessible::Description), node->state().focusable != 0};
        for (int i = 0; i < node->childCount(); ++i)
            pending.push_back(node->child(i));
    }
    return nodes;
}

struct Expected {
    const char* object;
    QAccessible::Role role;
    const char* name;
};

void ExpectRolesAndNames(const std::map<QString, Node>& tree, std::initializer_list<Expected> expected) {
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.object);
        const auto found = tree.find(QString::fromLatin1(e.object));
        ASSERT_NE(found, tree.end());
        EXPECT_EQ(found->second.role, e.role);
        EXPECT_EQ(found->second.name, QString::fromUtf8(e.name));
    }
    // Nothing the keyboard can reach is left without a name.
    for (const auto& [object, node] : tree) {
        SCOPED_TRACE(object.toStdString());
        if (node.focusable) {
            EXPECT_FALSE(node.name.trimmed().isEmpty());
        }
    }
}

QAccessibleInterface* Interface(QWidget* parent, const char* name) {
    return QAccessible::queryAccessibleInterface(parent->findChild<QWidget*>(QString::fromLatin1(name)));
}

TEST(Accessibility, MainWindowNamesEveryControlInFrench) {
    FakeStore store;
    FixedClock clock{QDate(2026, 12, 9)};
    RecordingMessages messages;
    FakePicker picker;
    FakeDrives drives;
    FakeFiles files;
    RecordingTransfer transfer;
    SelectionState state;
    frmLctr window(state, {store, clock, picker, drives, files, transfer, ArchiveSettings{}, &messages});
    window.show();
    const auto tree = AccessibleTree(&window);
    ExpectRolesAndNames(tree, {
                                  {"frmLctr", QAccessible::Window, "Lectoria v1.1.8"},
                                  {"lbl_Ville", QAccessible::StaticText, "Choisir la ville :"},
                                  {"lst_Ville", QAccessible::List, "Choisir la ville"},
                                  {"lbl_Journal", QAccessible::StaticText, "Choisir le journal :"},
                                  {"opt_20m", QAccessible::RadioButton, "20 minutes"},
                                  {"opt_metro", QAccessible::RadioButton, "Metro"},
                                  {"Picture1", QAccessible::Graphic, "Logo de 20 minutes"},
                                  {"Picture2", QAccessible::Graphic, "Logo de Metro"},
                                  {"Calendar1", QAccessible::Table, "Sélectionner le jour"},
                                  {"qt_calendar_calendarview", QAccessible::Table, "Sélectionner le jour"},
                                  {"qt_calendar_prevmonth", QAccessible::Button, "Mois précédent"},
                                  {"qt_calendar_nextmonth", QAccessible::Button, "Mois suivant"},
                                  {"qt_calendar_monthbutton", QAccessible::ButtonMenu, "décembre"},
                                  {"qt_calendar_yearbutton", QAccessible::Button, "2026"},
                                  {"cmd_DL", QAccessible::Button, "Télécharger"},
                                  {"cmd_Open", QAccessible::Button, "Dossier"},
                                  {"txt_ChemFich", QAccessible::EditableText, "Dossier d'enregistrement"},
                                  {"cmdAbout", QAccessible::Button, "A propos"},
                              });
    // The tooltips are the descriptions; the city label is the list's label.
    EXPECT_EQ(tree.at("txt_ChemFich").description, "Choisir le dossier où seront enregistrés les fichiers téléchargés");
    EXPECT_EQ(tree.at("cmd_Open").description, tree.at("txt_ChemFich").description);
    const auto labelled = Interface(&window, "lbl_Ville")->relations(QAccessible::Labelled);
    ASSERT_EQ(labelled.size(), 1);
    EXPECT_EQ(labelled.first().first->text(QAccessible::Name), "Choisir la ville");
}

class AboutAccessibility : public ::testing::Test {
protected:
    void SetUp() override {
        state.AppVersion = QStringLiteral("1.1.8");
        settings.author = {QStringLiteral("auteur.test"), QStringLiteral("moi@auteur.test"),
                           QStringLiteral("http://auteur.test/court")};
        mainWindow.show();
        about = frmAbout::Open(&mainWindow, state, opener, sink, settings);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(about.data()));
        about->activateWindow();
    }
    void TearDown() override { delete about.data(); }
    QWidget* Control(const char* name) { return about->findChild<QWidget*>(QString::fromLatin1(name)); }

    SelectionState state;
    AboutSettings settings;
    RecordingOpener opener;
    RecordingMessages sink;
    QWidget mainWindow;
    QPointer<frmAbout> about;
};

TEST_F(AboutAccessibility, LinksAreLinksAndEveryControlIsNamed) {
    const auto tree = AccessibleTree(about.data());
    ExpectRolesAndNames(tree, {
                                  {"frmAbout", QAccessible::Window, "À propos de Lectoria"},
                                  {"cmdOK", QAccessible::Button, "OK"},
                                  {"lbl_name", QAccessible::StaticText, "Lectoria v1.1.8"},
                                  {"lbl_site", QAccessible::Link, "Mon site web"},
                                  {"lbl_email", QAccessible::Link, "M'envoyer un e-mail"},
                                  {"cmdUpdate", QAccessible::Button, "Vérifier nouvelle version"},
                              });
    EXPECT_TRUE(tree.at("lbl_site").focusable);
    EXPECT_EQ(tree.at("lbl_site").description, "http://auteur.test/court");
    EXPECT_EQ(tree.at("lbl_email").description, "Cliquez ici pour m'envoyer un e-mail à propos de ce logiciel");
    // The progress row is hidden until a check runs; it is named all the same.
    EXPECT_EQ(Interface(about, "ProgressBar1")->text(QAccessible::Name), "Progression de la vérification");

    // The press action follows a link as a click does.
    for (const char* link : {"lbl_site", "lbl_email"}) {
        QAccessibleActionInterface* actions = Interface(about, link)->actionInterface();
        ASSERT_NE(actions, nullptr);
        ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
    }
    EXPECT_EQ(opener.opened,
              std::vector<QUrl>({QUrl("http://auteur.test"), QUrl("mailto:moi@auteur.test?subject=Lectoria v1.1.8")}));
}

// Tab goes OK, web link, mail link, update button; Enter and Space follow the focused link and
// leave the window open; Escape on a link still closes the window.
TEST_F(AboutAccessibility, TheKeyboardReachesAndFollowsTheLinks) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(about.data()));
    ASSERT_EQ(QApplication::focusWidget(), Control("cmdOK"));
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order, QStringList({"lbl_site", "lbl_email", "cmdUpdate", "cmdOK"}));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(Control("lbl_site"), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(Control("lbl_email"), Qt::Key_Space);
    EXPECT_EQ(opener.opened,
              std::vector<QUrl>({QUrl("http://auteur.test"), QUrl("mailto:moi@auteur.test?subject=Lectoria v1.1.8")}));
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(mainWindow.isEnabled());

    QTest::keyClick(Control("lbl_email"), Qt::Key_Escape);
    EXPECT_FALSE(about && about->isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST(Accessibility, ProgressWindowNamesItsBarAndTexts) {
    QWidget owner;
    owner.show();
    const auto view = MakeProgressView(&owner);
    view->Start(QStringLiteral("Metro"), QStringLiteral("Paris, 03/05/2007"));
    auto* window = owner.findChild<QWidget*>(QStringLiteral("frmTransfert"));
    ASSERT_NE(window, nullptr);
    const auto tree = AccessibleTree(window);
    ExpectRolesAndNames(tree, {
                                  {"frmTransfert", QAccessible::Dialog, "Téléchargement"},
                                  {"lbl_Etiquette", QAccessible::StaticText, "Metro"},
                                  {"lbl_Description", QAccessible::StaticText, "Paris, 03/05/2007"},
                                  {"barre_Progression", QAccessible::ProgressBar, "Progression du téléchargement"},
                                  {"cmd_Annuler", QAccessible::Button, "Annuler"},
                              });
    EXPECT_EQ(tree.at("lbl_Description").description, "Édition téléchargée");
    view->Finish();
}

} // namespace
} // namespace lectoria
