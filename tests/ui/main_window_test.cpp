// The main window driven as a user drives it, offscreen, with the outside world replaced.
#include "download/download_doubles.h"
#include "storage/storage_doubles.h"
#include "support/doubles.h"
#include "support/qt_printers.h"
#include "ui/logos.h"
#include "ui/main_window.h"
#include "ui/qt_message_sink.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace lectoria;

namespace {

using lectoria::testing::FakeDrives;
using lectoria::testing::FakePicker;
using lectoria::testing::FakeStore;
using namespace lectoria::testing_support;

class MainWindow : public ::testing::Test {
protected:
    FakeStore store;
    FixedClock clock{QDate(2026, 12, 9)}; // a Wednesday
    RecordingMessages messages;
    FakePicker picker;
    FakeDrives drives;
    FakeFiles files;
    RecordingTransfer transfer;
    SelectionState state;
    std::unique_ptr<frmLctr> window;

    void Open() {
        window = std::make_unique<frmLctr>(
            state, MainWindowServices{store, clock, picker, drives, files, transfer,
                                      ArchiveSettings{"http://m.test/fr/divers/pdf/", "http://v.test/"}, &messages});
        window->show();
    }
    template <typename T> T* Find(const char* name) { return window->findChild<T*>(QString::fromLatin1(name)); }
    MonthCalendar* Calendar() { return Find<MonthCalendar>("Calendar1"); }
};

} // namespace

TEST_F(MainWindow, ControlsSitWhereTheyWereDesigned) {
    Open();
    struct Place {
        const char* name;
        QRect where;
    };
    const Place places[] = {
        {"lbl_Journal", {112, 8, 89, 17}}, {"lst_Ville", {8, 32, 81, 134}},       {"lbl_Ville", {8, 8, 81, 17}},
        {"Calendar1", {232, 8, 201, 153}}, {"cmd_DL", {112, 104, 89, 33}},        {"opt_20m", {112, 40, 73, 13}},
        {"opt_metro", {112, 80, 49, 13}},  {"Picture1", {192, 32, 33, 33}},       {"Picture2", {176, 80, 49, 15}},
        {"cmd_Open", {168, 168, 65, 25}},  {"txt_ChemFich", {240, 168, 185, 25}}, {"cmdAbout", {16, 168, 65, 25}}};
    for (const Place& p : places) {
        QWidget* widget = Find<QWidget>(p.name);
        ASSERT_NE(widget, nullptr) << p.name;
        EXPECT_EQ(widget->geometry(), p.where) << p.name;
    }
    EXPECT_EQ(window->size(), QSize(436, 198));
    EXPECT_EQ(window->windowTitle(), "Lectoria v1.1.8");
    EXPECT_EQ(window->windowIcon().availableSizes().size(), 4); // the icon's images are linked in
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->minimumSize(), window->maximumSize()); // a fixed size: no window manager offers to maximize
    // Keyboard order from the city list on.
    QStringList order;
    QWidget* w = Find<QWidget>("lst_Ville");
    for (int i = 0; i < 8; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus || w->parentWidget() != window.get())
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    EXPECT_EQ(order, QStringList({"lst_Ville", "Calendar1", "cmd_DL", "opt_20m", "opt_metro", "cmd_Open",
                                  "txt_ChemFich", "cmdAbout"}));
}

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

// The paper switch changes the limit at once, without a check; the download reads the paper,
// the city and the folder the window holds.
TEST_F(MainWindow, ChosenPaperAndFolderReachTheDownload) {
    store.values = {{"Ville", 7}};
    Open();
    QTest::mouseClick(Find<QRadioButton>("opt_metro"), Qt::LeftButton);
    EXPECT_EQ(state.PaperName, "Metro");
    EXPECT_EQ(state.MaxAgeDays, 14);
    EXPECT_TRUE(messages.shown.isEmpty());
    picker.answer = "/presse";
    QTest::mouseClick(Find<QPushButton>("cmd_Open"), Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>("txt_ChemFich")->text(), "/presse");
    EXPECT_EQ(store.values["Chemin"].toString(), "/presse");
    QTest::mouseClick(Find<QPushButton>("cmd_DL"), Qt::LeftButton);
    EXPECT_EQ(transfer.calls.last(), "Download http://m.test/fr/divers/pdf/2026/12/09/FRPAR_2026_12_09.pdf -> "
                                     "/presse/20261209_Metro_Paris.pdf");
    ASSERT_EQ(messages.shown.size(), 1); // the date is written as the system's locale writes it
    EXPECT_TRUE(messages.shown[0].startsWith("Téléchargement de Metro du ")) << messages.shown[0].toStdString();
}

// The About button opens the real About window and disables this one, which
// stays on screen; the About window's own tests cover its place and each way of closing it.
TEST_F(MainWindow, AboutButtonHandsOverUntilTheAboutWindowCloses) {
    Open();
    for (int opening = 0; opening < 2; ++opening) {
        QTest::mouseClick(Find<QPushButton>("cmdAbout"), Qt::LeftButton);
        QTest::mouseClick(Find<QPushButton>("cmdAbout"), Qt::LeftButton); // ignored while disabled
        QWidgetList about;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "frmAbout" && top->isVisible())
                about << top;
        ASSERT_EQ(about.size(), 1);
        EXPECT_FALSE(window->isEnabled());
        EXPECT_TRUE(window->isVisible());
        QPointer<QWidget> closing(about[0]);
        QTest::keyClick(about[0], Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(closing.isNull());
        EXPECT_TRUE(window->isEnabled());
    }
}

// Focus and selection are different things: the list's cursor lands on "Bordeaux" when the
// window comes up, which must not choose that city, and the user cannot clear a chosen one.
TEST_F(MainWindow, OnlyASelectedEntryIsAChosenCity) {
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 5000));
    auto* list = Find<QListWidget>("lst_Ville");
    ASSERT_EQ(QApplication::focusWidget(), list);
    EXPECT_TRUE(store.writes.empty());
    EXPECT_EQ(state.CityIndex, 0);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(9)).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(9)).center());
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(state.CityName, "Toulouse");
    EXPECT_EQ(state.CityIndex, 10);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(state.CityName, "Strasbourg");
    EXPECT_EQ(store.values["Ville"].toInt(), 9);
}

// A refused Download puts the calendar back on today; what is fetched next, and named in every
// message, is the day the calendar shows, not the day refused before.
TEST_F(MainWindow, AfterARefusedDayTheCalendarsDayIsDownloaded) {
    store.values = {{"Ville", 7}, {"Chemin", "/presse"}};
    Open();
    QTest::mouseClick(Find<QRadioButton>("opt_metro"), Qt::LeftButton);
    auto* grid = Calendar()->findChild<QAbstractItemView*>("qt_calendar_calendarview");
    ASSERT_NE(grid, nullptr);
    QTest::keyClick(grid, Qt::Key_Up);
    QTest::keyClick(grid, Qt::Key_Up); // 25 November, 14 days back: accepted for Metro
    ASSERT_EQ(state.DayText + state.MonthText, "2511");
    QTest::mouseClick(Find<QRadioButton>("opt_20m"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("cmd_DL"), Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].contains("20 minutes datant de plus de 7 jours")) << messages.shown[0].toStdString();
    EXPECT_EQ(Calendar()->selectedDate(), clock.today);
    EXPECT_EQ(state.DayText + state.MonthText + state.YearText, "09122026");

    QTest::mouseClick(Find<QRadioButton>("opt_metro"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("cmd_DL"), Qt::LeftButton);
    EXPECT_EQ(transfer.calls.last(), "Download http://m.test/fr/divers/pdf/2026/12/09/FRPAR_2026_12_09.pdf -> "
                                     "/presse/20261209_Metro_Paris.pdf");
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[1].contains("2026") && messages.shown[1].contains("09"))
        << messages.shown[1].toStdString();
}

// Once a city is chosen, no click or drag in the list takes it away: not a click in the blank
// strip under the last city, not a drag from a city past the end of the list.
TEST_F(MainWindow, TheChosenCityStaysChosen) {
    store.values = {{"Ville", 7}};
    Open();
    auto* list = Find<QListWidget>("lst_Ville");
    const QPoint lastCity = list->visualItemRect(list->item(9)).center();
    const QPoint blank(lastCity.x(), list->viewport()->height() - 2);
    ASSERT_FALSE(list->indexAt(blank).isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, blank);
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(state.CityName, "Paris");
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, lastCity);
    QMouseEvent drag(QEvent::MouseMove, blank, list->viewport()->mapToGlobal(blank), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drag);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, blank);
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(state.CityName, "Toulouse");
    EXPECT_EQ(store.values["Ville"].toInt(), 10);
}

// While the About window is open the main window cannot be closed, whatever asks for it.
TEST_F(MainWindow, ClosingIsRefusedWhileTheAboutWindowIsOpen) {
    Open();
    QTest::mouseClick(Find<QPushButton>("cmdAbout"), Qt::LeftButton);
    ASSERT_FALSE(window->isEnabled());
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "frmAbout" && top->isVisible())
            top->close();
    ASSERT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->close());
}

// Every day chosen by the user is checked, by mouse or keyboard, the one already selected
// included: on a Saturday the calendar opens on today unchecked, and a click on today is refused.
// A day set by the program starts no check.
TEST_F(MainWindow, EveryDayTheUserChoosesIsChecked) {
    clock.today = QDate(2026, 12, 12); // a Saturday
    Open();
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(state.DateRejected, 0);
    auto* grid = Calendar()->findChild<QAbstractItemView*>("qt_calendar_calendarview");
    ASSERT_NE(grid, nullptr);
    auto cellOf = [grid](int day) {
        for (int row = 1; row < grid->model()->rowCount(); ++row)
            for (int column = 0; column < grid->model()->columnCount(); ++column) {
                const QModelIndex index = grid->model()->index(row, column);
                if (grid->model()->data(index).toInt() == day && (row > 1 || day < 8) && (row < 5 || day > 20))
                    return grid->visualRect(index).center();
            }
        return QPoint();
    };
    struct Pick {
        int day; // 0: the left arrow key, -1: the right one
        qsizetype messages;
        QString dayText;
    };
    const Pick picks[] = {{12, 1, "12"}, {11, 1, "11"}, {11, 1, "11"}, {13, 2, "12"},
                          {30, 3, "12"}, {0, 3, "11"},  {-1, 4, "12"}};
    for (const Pick& pick : picks) {
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

// The words of the logos stay inside them (a clipped "minutes" once reached both edges), and on
// a high-dpi screen the logos are drawn sharp at their design size.
TEST(Logos, TextStaysInsideAndHighDpiKeepsTheDesignSize) {
    for (const QImage& logo : {DrawTwentyMinutesLogo().toImage(), DrawMetroLogo().toImage()}) {
        const QColor ground = logo.pixelColor(0, 0);
        for (int y = 0; y < logo.height(); ++y) {
            EXPECT_EQ(logo.pixelColor(0, y), ground) << y;
            EXPECT_EQ(logo.pixelColor(logo.width() - 1, y), ground) << y;
        }
    }
    const QPixmap sharp = DrawMetroLogo(2);
    EXPECT_EQ(sharp.size(), QSize(100, 30));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(50, 15));
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
    store.values = {{"Ville", 7}, {"Chemin", "/mes journaux/presse"}};
    files.existing << "/mes journaux/presse";
    window = std::make_unique<frmLctr>(
        state,
        MainWindowServices{store, clock, picker, drives, files, transfer,
                           ArchiveSettings{"http://m.test/fr/divers/pdf/", "http://v.test/"}, &messages, &locks});
    window->show();
    QTest::mouseClick(Find<QPushButton>("cmd_DL"), Qt::LeftButton);
    EXPECT_EQ(locks.cursorWhileWaiting, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(messages.shown.size(), 1);
    const QString glued = QString("/\u2060mes\u00A0journaux/\u2060presse");
    EXPECT_TRUE(messages.shown[0].contains(" " + glued + " ")) << messages.shown[0].toStdString();
    EXPECT_EQ(QString(messages.shown[0]).remove(QChar(0x2060)).replace(QChar(0xA0), ' '),
              FolderBusyMessage("/mes journaux/presse", kWindowLockWait) + "|48|Erreur");
}

// Enter presses the focused button; digits typed into the calendar choose nothing.
TEST_F(MainWindow, KeyboardPressesButtonsAndTypingDoesNotPickADay) {
    Open();
    picker.answer = "/presse";
    auto* folderButton = Find<QPushButton>("cmd_Open");
    folderButton->setFocus();
    QTest::keyClick(folderButton, Qt::Key_Return);
    EXPECT_EQ(Find<QLineEdit>("txt_ChemFich")->text(), "/presse");

    auto* grid = Calendar()->findChild<QAbstractItemView*>("qt_calendar_calendarview");
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
