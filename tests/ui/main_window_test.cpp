// The main window driven as a user drives it, offscreen, with the outside world replaced.
#include "ui/qt_message_sink.h"
#include "window_fixture.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

using namespace lectoria;
using namespace lectoria::testing_support;

namespace {

class MainWindow : public MainWindowFixture {
protected:
    MonthCalendar* Calendar() { return Find<MonthCalendar>("Calendar1"); }
    QAbstractItemView* Grid() { return Calendar()->findChild<QAbstractItemView*>("qt_calendar_calendarview"); }
    void Click(const char* name) { QTest::mouseClick(Find(name), Qt::LeftButton); }
};

} // namespace

// Start-up: a first run writes nothing; a stored city is selected and written back once, as is
// the stored folder; an out-of-range city selects nothing. Every start picks "20 minutes" and
// today, with no check and no message.
TEST_F(MainWindow, StartUpAppliesTheStoredSettings) {
    const struct {
        int stored; // 0: nothing stored
        QString name;
        int row;
        size_t writes;
    } cases[] = {{0, "", -1, 0}, {8, "Rennes", 7, 2}, {11, "", -1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        store.values.clear();
        if (c.stored)
            store.values = {{"Ville", c.stored}, {"Chemin", "/presse"}};
        store.writes.clear();
        Open();
        EXPECT_EQ(state.CityName, c.name);
        EXPECT_EQ(state.CityIndex, c.row + 1);
        EXPECT_EQ(Find<QListWidget>("lst_Ville")->currentRow(), c.row);
        EXPECT_EQ(Find<QLineEdit>("txt_ChemFich")->text(), c.stored ? "/presse" : "");
        EXPECT_EQ(store.writes.size(), c.writes);
        EXPECT_TRUE(Find<QRadioButton>("opt_20m")->isChecked());
        EXPECT_EQ(state.MaxAgeDays, 7);
        EXPECT_EQ(state.DayText + state.MonthText + state.YearText, "09122026");
        EXPECT_TRUE(messages.shown.isEmpty());
    }
}

// The ten cities fit the list's height, with no scroll bar, in every style the program meets
// (Windows' own style pads each entry more than Linux's).
TEST_F(MainWindow, EveryCityIsInSightWithoutScrolling) {
    for (const QString& name : QStyleFactory::keys()) {
        SCOPED_TRACE(name.toStdString());
        std::unique_ptr<QStyle> style(QStyleFactory::create(name));
        Open();
        auto* list = Find<QListWidget>("lst_Ville");
        list->setStyle(style.get());
        for (QWidget* child : list->findChildren<QWidget*>())
            child->setStyle(style.get());
        list->doItemsLayout();
        ASSERT_EQ(list->count(), 10);
        const QRect last = list->visualItemRect(list->item(9));
        EXPECT_LT(last.bottom(), list->viewport()->height());
        EXPECT_EQ(list->verticalScrollBar()->maximum(), 0);
        window.reset();
    }
}

// The paper switch changes the limit at once, without a check; Enter presses the focused folder
// button; the download reads the paper, the city and the folder the window holds.
TEST_F(MainWindow, ChosenPaperAndFolderReachTheDownload) {
    store.values = {{"Ville", 7}};
    Open();
    Click("opt_metro");
    EXPECT_EQ(state.PaperName, "Metro");
    EXPECT_EQ(state.MaxAgeDays, 14);
    EXPECT_TRUE(messages.shown.isEmpty());
    picker.answer = "/presse";
    Find("cmd_Open")->setFocus();
    QTest::keyClick(Find("cmd_Open"), Qt::Key_Return);
    EXPECT_EQ(Find<QLineEdit>("txt_ChemFich")->text(), "/presse");
    EXPECT_EQ(store.values["Chemin"].toString(), "/presse");
    Click("cmd_DL");
    EXPECT_EQ(transfer.calls.last(), "Download http://m.test/fr/divers/pdf/2026/12/09/FRPAR_2026_12_09.pdf -> "
                                     "/presse" +
                                         QString(QDir::separator()) + "20261209_Metro_Paris.pdf");
    ASSERT_EQ(messages.shown.size(), 1); // the date is written as the system's locale writes it
    EXPECT_TRUE(messages.shown[0].startsWith("Téléchargement de Metro du ")) << messages.shown[0].toStdString();
}

// The About button opens one About window (a second click is ignored) and disables this window,
// which stays on screen and cannot be closed, whatever asks for it, until the About window goes.
TEST_F(MainWindow, ClosingIsRefusedWhileTheAboutWindowIsOpen) {
    Open();
    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        Click("cmdAbout");
        Click("cmdAbout");
        QWidgetList about;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "frmAbout" && top->isVisible())
                about << top;
        ASSERT_EQ(about.size(), 1);
        EXPECT_FALSE(window->isEnabled());
        EXPECT_FALSE(window->close());
        EXPECT_TRUE(window->isVisible());
        QPointer<QWidget> closing(about[0]);
        QTest::keyClick(about[0], Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(closing.isNull());
        EXPECT_TRUE(window->isEnabled());
        EXPECT_EQ(window->focusWidget(), Find("cmdAbout")); // not the first control of the window
    }
    EXPECT_TRUE(window->close());
}

// Only a selected entry is a chosen city: the list's cursor landing on "Bordeaux" at start-up
// chooses nothing, until Down chooses it. Once chosen, no click or drag takes the city away: not a Ctrl-click on it,
// not a click in the blank strip under the last city, not a drag from a city past the end of the list.
TEST_F(MainWindow, TheChosenCityStaysChosen) {
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 5000));
    auto* list = Find<QListWidget>("lst_Ville");
    ASSERT_EQ(QApplication::focusWidget(), list);
    EXPECT_TRUE(store.writes.empty());
    EXPECT_EQ(state.CityIndex, 0);
    QTest::keyClick(list, Qt::Key_Down); // the first Down chooses the first city, under the cursor
    EXPECT_EQ(state.CityName, "Bordeaux");

    const QPoint lastCity = list->visualItemRect(list->item(9)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, lastCity);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, lastCity);
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(state.CityName, "Toulouse");
    EXPECT_EQ(state.CityIndex, 10);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(state.CityName, "Strasbourg");
    EXPECT_EQ(store.values["Ville"].toInt(), 9);

    const QPoint blank(lastCity.x(), list->viewport()->height() - 2);
    ASSERT_FALSE(list->indexAt(blank).isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, blank);
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(state.CityName, "Strasbourg");
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, lastCity);
    QMouseEvent drag(QEvent::MouseMove, blank, list->viewport()->mapToGlobal(blank), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drag);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, blank);
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(state.CityName, "Toulouse");
    EXPECT_EQ(store.values["Ville"].toInt(), 10);
}

// A refused Download puts the calendar back on today; what is fetched next, and named in every
// message, is the day the calendar shows, not the day refused before.
TEST_F(MainWindow, AfterARefusedDayTheCalendarsDayIsDownloaded) {
    store.values = {{"Ville", 7}, {"Chemin", "/presse"}};
    Open();
    Click("opt_metro");
    ASSERT_NE(Grid(), nullptr);
    QTest::keyClick(Grid(), Qt::Key_Up);
    QTest::keyClick(Grid(), Qt::Key_Up); // 25 November, 14 days back: accepted for Metro
    ASSERT_EQ(state.DayText + state.MonthText, "2511");
    Click("opt_20m");
    Click("cmd_DL");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].contains("20 minutes datant de plus de 7 jours")) << messages.shown[0].toStdString();
    EXPECT_EQ(Calendar()->selectedDate(), clock.today);
    EXPECT_EQ(state.DayText + state.MonthText + state.YearText, "09122026");

    Click("opt_metro");
    Click("cmd_DL");
    EXPECT_EQ(transfer.calls.last(), "Download http://m.test/fr/divers/pdf/2026/12/09/FRPAR_2026_12_09.pdf -> "
                                     "/presse" +
                                         QString(QDir::separator()) + "20261209_Metro_Paris.pdf");
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[1].contains("2026") && messages.shown[1].contains("09"))
        << messages.shown[1].toStdString();
}

// Every day chosen by the user is checked, by mouse or keyboard, the one already selected
// included: on a Saturday the calendar opens on today unchecked, and a click on today is refused.
// A day set by the program starts no check; digits typed into the calendar choose nothing.
TEST_F(MainWindow, EveryDayTheUserChoosesIsChecked) {
    clock.today = QDate(2026, 12, 12); // a Saturday
    Open();
    EXPECT_EQ(state.DateRejected, 0);
    QAbstractItemView* grid = Grid();
    ASSERT_NE(grid, nullptr);
    const auto visibleParts = [this] {
        int count = 0;
        for (QWidget* part : Calendar()->findChildren<QWidget*>())
            count += part->isVisible();
        return count;
    };
    const int before = visibleParts();
    QTest::keyClicks(grid, "15");
    EXPECT_EQ(visibleParts(), before);
    EXPECT_EQ(Calendar()->selectedDate(), clock.today);
    EXPECT_TRUE(messages.shown.isEmpty());

    auto cellOf = [grid](int day) {
        for (int row = 1; row < grid->model()->rowCount(); ++row)
            for (int column = 0; column < grid->model()->columnCount(); ++column) {
                const QModelIndex index = grid->model()->index(row, column);
                if (grid->model()->data(index).toInt() == day && (row > 1 || day < 8) && (row < 5 || day > 20))
                    return grid->visualRect(index).center();
            }
        return QPoint();
    };
    const struct {
        int day; // 0: the left arrow key, -1: the right one
        qsizetype messages;
        QString dayText;
    } picks[] = {{12, 1, "12"}, {11, 1, "11"}, {11, 1, "11"}, {13, 2, "12"},
                 {30, 3, "12"}, {0, 3, "11"},  {-1, 4, "12"}};
    for (const auto& pick : picks) {
        SCOPED_TRACE(pick.day);
        if (pick.day > 0)
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellOf(pick.day));
        else
            QTest::keyClick(grid, pick.day == 0 ? Qt::Key_Left : Qt::Key_Right);
        EXPECT_EQ(messages.shown.size(), pick.messages);
        EXPECT_EQ(state.DayText, pick.dayText);
    }
    EXPECT_TRUE(messages.shown.back().startsWith("Pas d'édition le samedi.")) << messages.shown.back().toStdString();
    EXPECT_EQ(Calendar()->selectedDate(), clock.today);
    EXPECT_EQ(state.DateRejected, 1);
    Calendar()->SetValue(QDate(2026, 12, 13));
    EXPECT_EQ(messages.shown.size(), 4);
}

namespace {
// A folder whose lock another run keeps; notes the pointer while the window waits for it.
struct TakenLocks final : FolderLocks {
    std::unique_ptr<FolderLockHold> Take(const QString&, std::chrono::milliseconds) override {
        cursorWhileWaiting = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor;
        return nullptr;
    }
    Qt::CursorShape cursorWhileWaiting = Qt::ArrowCursor;
};
} // namespace

// A folder busy with another download: the busy pointer while the window waits, then a message
// that keeps the folder's path whole (no break at its spaces or slashes).
TEST_F(MainWindow, BusyFolderShowsTheWaitThenTheWholePath) {
    TakenLocks locks;
    const QString path = QDir::rootPath() + "mes journaux/presse"; // C:/mes journaux/presse on Windows
    store.values = {{"Ville", 7}, {"Chemin", path}};
    files.existing << path;
    Open(&locks);
    Click("cmd_DL");
    EXPECT_EQ(locks.cursorWhileWaiting, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(messages.shown.size(), 1);
    const QString glued = QDir::toNativeSeparators(QDir::rootPath() + "\u2060mes\u00A0journaux/\u2060presse");
    EXPECT_TRUE(messages.shown[0].contains(" " + glued + " ")) << messages.shown[0].toStdString();
    EXPECT_EQ(QString(messages.shown[0]).remove(QChar(0x2060)).replace(QChar(0xA0), ' '),
              FolderBusyMessage(path, kWindowLockWait) + "|48|Erreur");
}

// A message box gives its lines the room they need: the first line of the age refusal stays whole.
TEST(MessageBoxes, ALineIsNotWrapped) {
    QWidget owner;
    owner.show();
    QtMessageSink sink(&owner);
    const QString first = "Impossible de télécharger une édition de 20 minutes datant de plus de 7 jours.";
    int labelWidth = 0;
    int lineWidth = -1;
    QTimer::singleShot(0, &owner, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        labelWidth = label->width();
        lineWidth = QFontMetrics(label->font()).horizontalAdvance(first);
        box->accept();
    });
    sink.Show(first + "\r\nVeuillez sélectionner une date plus proche.", MessageStyle::Critical, "Erreur");
    EXPECT_GE(labelWidth, lineWidth);
}
