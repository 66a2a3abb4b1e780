// The windows' controls as a user and assistive technology meet them: where each sits, its role and
// French name in Qt's accessible tree, and the keyboard's order.
#include "support/qt_printers.h"
#include "transfer/progress_view.h"
#include "ui/calendar_accessibility.h"
#include "window_fixture.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QFontInfo>
#include <QPushButton>
#include <QTest>

#include <map>

namespace lectoria::testing_support {
namespace {

struct Control {
    const char* object;
    QRect at; // empty: not placed by the window itself
    QAccessible::Role role;
    const char* name; // nullptr: not checked
    bool shown = true;
};

QAccessibleInterface* Interface(QWidget* root, const char* object) {
    QWidget* widget = root->objectName() == QLatin1String(object) ? root : root->findChild<QWidget*>(object);
    return widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
}

// Each listed control as described, and nothing the keyboard can reach without a name.
void ExpectControls(QWidget* root, std::initializer_list<Control> controls) {
    for (const Control& c : controls) {
        SCOPED_TRACE(c.object);
        QAccessibleInterface* node = Interface(root, c.object);
        ASSERT_NE(node, nullptr);
        auto* widget = static_cast<QWidget*>(node->object());
        if (!c.at.isEmpty()) {
            EXPECT_EQ(widget->geometry(), c.at);
        }
        EXPECT_EQ(widget->isVisible(), c.shown);
        EXPECT_EQ(node->role(), c.role);
        if (c.name) {
            EXPECT_EQ(node->text(QAccessible::Name), QString::fromUtf8(c.name));
        }
    }
    std::vector<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(root)};
    while (!pending.empty()) {
        QAccessibleInterface* node = pending.back();
        pending.pop_back();
        if (!node || !node->isValid() || node->state().invisible)
            continue;
        if (node->state().focusable) {
            EXPECT_FALSE(node->text(QAccessible::Name).trimmed().isEmpty())
                << node->object()->objectName().toStdString();
        }
        for (int i = 0; i < node->childCount(); ++i)
            pending.push_back(node->child(i));
    }
}

using MainWindowControls = MainWindowFixture;
using AboutWindowControls = AboutFixture;

TEST_F(MainWindowControls, SitWhereTheyWereDesignedAndAreNamedInFrench) {
    Open();
    ExpectControls(window.get(),
                   {
                       {"frmLctr", {}, QAccessible::Window, "Lectoria v1.1.8"},
                       {"lbl_Ville", {8, 8, 81, 17}, QAccessible::StaticText, "Choisir la ville :"},
                       {"lst_Ville", {8, 32, 81, 134}, QAccessible::List, "Choisir la ville"},
                       {"lbl_Journal", {112, 8, 89, 17}, QAccessible::StaticText, "Choisir le journal :"},
                       {"opt_20m", {112, 40, 73, 13}, QAccessible::RadioButton, "20 minutes"},
                       {"opt_metro", {112, 80, 49, 13}, QAccessible::RadioButton, "Metro"},
                       {"Picture1", {192, 32, 33, 33}, QAccessible::Graphic, "Logo de 20 minutes"},
                       {"Picture2", {176, 80, 49, 15}, QAccessible::Graphic, "Logo de Metro"},
                       {"Calendar1", {232, 8, 201, 153}, QAccessible::Table, "Sélectionner le jour"},
                       {"qt_calendar_calendarview", {}, QAccessible::List, "Sélectionner le jour"},
                       {"qt_calendar_prevmonth", {}, QAccessible::Button, "Mois précédent"},
                       {"qt_calendar_nextmonth", {}, QAccessible::Button, "Mois suivant"},
                       {"qt_calendar_monthbutton", {}, QAccessible::ButtonMenu, "décembre"},
                       {"qt_calendar_yearbutton", {}, QAccessible::Button, "2026"},
                       {"cmd_DL", {112, 104, 89, 33}, QAccessible::Button, "Télécharger"},
                       {"cmd_Open", {168, 168, 65, 25}, QAccessible::Button, "Dossier"},
                       {"txt_ChemFich", {240, 168, 185, 25}, QAccessible::EditableText, "Dossier d'enregistrement"},
                       {"cmdAbout", {16, 168, 65, 25}, QAccessible::Button, "A propos"},
                   });
    EXPECT_EQ(window->size(), QSize(436, 198));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()); // fixed: no window manager offers to maximize
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->windowIcon().availableSizes().size(), 4); // the icon's images are linked in
    // The tooltips are the descriptions; the city label is the list's label.
    const QString folderTip = "Choisir le dossier où seront enregistrés les fichiers téléchargés";
    EXPECT_EQ(Interface(window.get(), "txt_ChemFich")->text(QAccessible::Description), folderTip);
    EXPECT_EQ(Interface(window.get(), "cmd_Open")->text(QAccessible::Description), folderTip);
    const auto labelled = Interface(window.get(), "lbl_Ville")->relations(QAccessible::Labelled);
    ASSERT_EQ(labelled.size(), 1);
    EXPECT_EQ(labelled.first().first->text(QAccessible::Name), "Choisir la ville");
    // Keyboard order from the city list on.
    QStringList order;
    QWidget* w = Find("lst_Ville");
    for (int i = 0; i < 8; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus || w->parentWidget() != window.get())
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    EXPECT_EQ(order, QStringList({"lst_Ville", "Calendar1", "cmd_DL", "opt_20m", "opt_metro", "cmd_Open",
                                  "txt_ChemFich", "cmdAbout"}));
}

// The About window: a fixed tool window beside the main one, which it holds disabled; its links
// are links, blue and keyboard-reachable between OK and the update button.
TEST_F(AboutWindowControls, SitBesideTheMainWindowAndAreNamedInFrench) {
    Open();
    ExpectControls(
        about.data(),
        {
            {"frmAbout", {}, QAccessible::Window, "À propos de Lectoria"},
            {"cmdOK", {160, 88, 52, 25}, QAccessible::Button, "OK"},
            {"lbl_name", {8, 8, 197, 24}, QAccessible::StaticText, "Lectoria v1.1.8"},
            {"lbl_site", {64, 40, 97, 17}, QAccessible::Link, "Mon site web"},
            {"lbl_email", {40, 64, 145, 17}, QAccessible::Link, "M'envoyer un e-mail"},
            {"cmdUpdate", {8, 88, 135, 25}, QAccessible::Button, "Vérifier nouvelle version"},
            {"ProgressBar1", {80, 118, 142, 16}, QAccessible::ProgressBar, "Progression de la vérification", false},
            {"lbl_progress", {8, 120, 65, 17}, QAccessible::StaticText, nullptr, false},
        });
    EXPECT_EQ(about->pos(), mainWindow.frameGeometry().topLeft() + QPoint(107, 33));
    EXPECT_EQ(about->size(), QSize(219, 134));
    EXPECT_EQ(about->minimumSize(), about->maximumSize());
    EXPECT_EQ(about->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_TRUE(about->isEnabled()); // not held down by the disabled main window
    EXPECT_EQ(QFontInfo(Control("lbl_name")->font()).family(), "Comic Neue"); // the font package is installed
    for (const char* link : {"lbl_site", "lbl_email"}) {
        EXPECT_EQ(Control(link)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_EQ(Control(link)->cursor().hotSpot(), QPoint(12, 1));
    }
    EXPECT_EQ(Control("lbl_site")->toolTip(), "http://auteur.test/court");
    EXPECT_EQ(Interface(about, "lbl_site")->text(QAccessible::Description), "http://auteur.test/court");
    EXPECT_EQ(Interface(about, "lbl_email")->text(QAccessible::Description),
              "Cliquez ici pour m'envoyer un e-mail à propos de ce logiciel");

    about->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(about.data()));
    ASSERT_EQ(QApplication::focusWidget(), Control("cmdOK"));
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order, QStringList({"lbl_site", "lbl_email", "cmdUpdate", "cmdOK"}));
}

// What the calendar sends a screen reader in place of Qt's events about its grid.
QStringList sentNames;
void RecordSent(QAccessibleEvent* event) {
    sentNames << event->accessibleInterface()->text(QAccessible::Name);
}

// The fixture's day is Wednesday 9 December 2026. The grid is a list of the page's 42 days, named
// in full; the chosen day is the selected one, and the focus Qt gives the grid or one of its
// table cells goes to that day, after a move as after a refused page turn.
TEST_F(MainWindowControls, CalendarNamesTheChosenDayInFull) {
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 5000));
    auto* grid = Find<QAbstractItemView>("qt_calendar_calendarview");
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(grid);
    ASSERT_EQ(list->childCount(), 42);
    const auto chosen = [&] {
        QStringList names;
        for (int i = 0; i < list->childCount(); ++i)
            if (list->child(i)->state().selected)
                names << list->child(i)->text(QAccessible::Name);
        return names;
    };
    const auto focusGoesTo = [&](int child) {
        sentNames.clear();
        QAccessibleEvent focus(grid, QAccessible::Focus);
        focus.setChild(child);
        EXPECT_TRUE(ReplaceCalendarGridEvent(&focus, RecordSent));
        return sentNames;
    };
    EXPECT_EQ(list->child(0)->text(QAccessible::Name), "lundi 30 novembre 2026");
    EXPECT_EQ(list->child(41)->text(QAccessible::Name), "dimanche 10 janvier 2027");
    EXPECT_EQ(chosen(), QStringList{"mercredi 9 décembre 2026"});
    EXPECT_EQ(focusGoesTo(-1), QStringList{"mercredi 9 décembre 2026"});

    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_PageUp); // 9 November: refused, the calendar is back on today
    EXPECT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(chosen(), QStringList{"mercredi 9 décembre 2026"});
    QTest::keyClick(grid, Qt::Key_Left);
    EXPECT_EQ(chosen(), QStringList{"mardi 8 décembre 2026"});
    ASSERT_NE(list->focusChild(), nullptr);
    EXPECT_TRUE(list->focusChild()->state().focused);
    EXPECT_EQ(focusGoesTo(17), QStringList{"mardi 8 décembre 2026"}); // 17: a table cell in Qt's numbering

    QAccessibleEvent selection(grid, QAccessible::SelectionAdd);
    selection.setChild(17);
    sentNames.clear();
    EXPECT_TRUE(ReplaceCalendarGridEvent(&selection, RecordSent));
    EXPECT_TRUE(sentNames.isEmpty());
    QAccessibleEvent renamed(grid, QAccessible::NameChanged);
    EXPECT_FALSE(ReplaceCalendarGridEvent(&renamed, RecordSent));
}

TEST(Accessibility, ProgressWindowNamesItsBarAndTexts) {
    QWidget owner;
    owner.show();
    const auto view = MakeProgressView(&owner);
    view->Start(QStringLiteral("Metro"), QStringLiteral("Paris, 03/05/2007"));
    auto* window = owner.findChild<QWidget*>(QStringLiteral("frmTransfert"));
    ASSERT_NE(window, nullptr);
    ExpectControls(window, {
                               {"frmTransfert", {}, QAccessible::Dialog, "Téléchargement"},
                               {"lbl_Etiquette", {}, QAccessible::StaticText, "Metro"},
                               {"lbl_Description", {}, QAccessible::StaticText, "Paris, 03/05/2007"},
                               {"barre_Progression", {}, QAccessible::ProgressBar, "Progression du téléchargement"},
                               {"cmd_Annuler", {}, QAccessible::Button, "Annuler"},
                           });
    EXPECT_EQ(Interface(window, "lbl_Description")->text(QAccessible::Description), "Édition téléchargée");
    view->Finish();
}

} // namespace
} // namespace lectoria::testing_support
