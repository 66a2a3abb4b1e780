// The main window driven as a user drives it, offscreen, with the outside world replaced.
#include "support/qt_printers.h"
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <map>
#include <optional>
#include <vector>

using namespace lectoria;

namespace {

struct MemoryStore final : SettingsStore {
    std::map<QString, QVariant> values;
    std::vector<std::pair<QString, QVariant>> writes;
    std::optional<QVariant> Read(const QString& name) override {
        const auto found = values.find(name);
        return found == values.end() ? std::nullopt : std::optional<QVariant>(found->second);
    }
    bool WriteNumber(const QString& name, quint32 value) override { return Write(name, value); }
    bool WriteText(const QString& name, const QString& value) override { return Write(name, value); }
    bool Write(const QString& name, const QVariant& value) {
        values[name] = value;
        writes.emplace_back(name, value);
        return true;
    }
};

struct FixedClock final : Clock {
    QDate today{2026, 12, 9}; // a Wednesday
    QDate Today() const override { return today; }
};

struct Messages final : MessageSink {
    QStringList shown;
    int Show(const QString& text, int, const QString&) override {
        shown << text;
        return kAnswerOk;
    }
};

struct Picker final : FolderPicker {
    QString answer;
    QString BrowseForFolder(QWidget*, const QString&) override { return answer; }
};

struct Drives final : DriveQuery {
    int TypeOf(const QString&) override { return DriveType::Fixed; }
};

struct Files final : FileLookup {
    bool Exists(const QString& path) override { return path == "/presse"; }
};

struct Transfer final : TransferLibrary {
    QStringList downloads;
    int IsConnected() override { return 1; }
    void SetOption(const QString&, const QString&) override {}
    void ClearFiles() override {}
    int Download(QWidget*, const QString& url, const QString& file) override {
        downloads << url + " " + file;
        return TransferResult::Downloaded;
    }
    QString LastError() const override { return {}; }
};

class MainWindow : public testing::Test {
protected:
    MemoryStore store;
    FixedClock clock;
    Messages messages;
    Picker picker;
    Drives drives;
    Files files;
    Transfer transfer;
    SelectionState state;
    int aboutOpened = 0;
    std::unique_ptr<frmLctr> window;

    void Open() {
        window = std::make_unique<frmLctr>(
            state, MainWindowServices{store, clock, picker, drives, files, transfer,
                                      ArchiveSettings{"http://m.test/fr/divers/pdf/", "http://v.test/"}, &messages,
                                      [this](QWidget* main, const SelectionState&) {
                                          ++aboutOpened;
                                          main->setEnabled(false);
                                      }});
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
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
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

TEST_F(MainWindow, FirstRunWritesNothing) {
    Open();
    EXPECT_TRUE(store.writes.empty());
    EXPECT_EQ(state.CityIndex, 0);
    EXPECT_EQ(state.CityName, "");
    EXPECT_EQ(state.PaperName, "20 minutes");
    EXPECT_EQ(state.MaxAgeDays, 7);
    EXPECT_EQ(state.DayText + state.MonthText + state.YearText, "09122026");
    EXPECT_TRUE(Find<QRadioButton>("opt_20m")->isChecked());
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(MainWindow, StoredCityIsSelectedAndWrittenBackOnce) {
    store.values["Ville"] = 8;
    store.values["Chemin"] = "/presse";
    Open();
    EXPECT_EQ(state.CityName, "Rennes");
    EXPECT_EQ(state.CityIndex, 8);
    EXPECT_EQ(Find<QLineEdit>("txt_ChemFich")->text(), "/presse");
    EXPECT_EQ(std::count_if(store.writes.begin(), store.writes.end(), [](auto& w) { return w.first == "Ville"; }), 1);

    // Clicking a city stores it at once.
    auto* list = Find<QListWidget>("lst_Ville");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
    EXPECT_EQ(state.CityName, "Lyon");
    EXPECT_EQ(store.values["Ville"].toInt(), 3);
}

TEST_F(MainWindow, StoredCityOutOfRangeSelectsNothing) {
    store.values["Ville"] = 11;
    Open();
    EXPECT_EQ(state.CityIndex, 0);
    EXPECT_EQ(Find<QListWidget>("lst_Ville")->currentRow(), -1);
}

TEST_F(MainWindow, PickingASaturdayShowsOneMessageAndReturnsToToday) {
    clock.today = QDate(2026, 12, 10); // a Thursday: tomorrow passes, Saturday is the next day
    Open();
    MonthCalendar* calendar = Calendar();
    QWidget* grid = calendar->findChild<QWidget*>("qt_calendar_calendarview");
    ASSERT_NE(grid, nullptr);
    grid->setFocus();
    // Two days on by keyboard: Friday 11, then Saturday 12.
    for (int i = 0; i < 2; ++i)
        QTest::keyClick(grid, Qt::Key_Right);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith("Pas d'édition le samedi.")) << messages.shown[0].toStdString();
    EXPECT_EQ(calendar->selectedDate(), clock.today);
    EXPECT_EQ(state.DateRejected, 1);
    EXPECT_EQ(state.DayText, "10");

    // A day set by the program starts no check.
    calendar->SetValue(QDate(2026, 12, 13));
    EXPECT_EQ(messages.shown.size(), 1);
}

TEST_F(MainWindow, PaperSwitchChangesTheLimitAtOnceWithoutACheck) {
    Open();
    QTest::mouseClick(Find<QRadioButton>("opt_metro"), Qt::LeftButton);
    EXPECT_EQ(state.PaperName, "Metro");
    EXPECT_EQ(state.MaxAgeDays, 14);
    QTest::mouseClick(Find<QRadioButton>("opt_20m"), Qt::LeftButton);
    EXPECT_EQ(state.PaperName, "20 minutes");
    EXPECT_EQ(state.MaxAgeDays, 7);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(MainWindow, AboutButtonHandsOverAndADownloadRunsThroughTheWindow) {
    store.values["Ville"] = 7;
    store.values["Chemin"] = "/presse";
    Open();
    QTest::mouseClick(Find<QPushButton>("cmd_DL"), Qt::LeftButton);
    ASSERT_EQ(transfer.downloads.size(), 1);
    EXPECT_EQ(transfer.downloads[0], "http://v.test/20261209_PAR.pdf /presse/20261209_20 minutes_Paris.pdf");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].startsWith("Téléchargement de 20 minutes du "));

    QTest::mouseClick(Find<QPushButton>("cmdAbout"), Qt::LeftButton);
    EXPECT_EQ(aboutOpened, 1);
    EXPECT_FALSE(window->isEnabled());
    QTest::mouseClick(Find<QPushButton>("cmdAbout"), Qt::LeftButton); // ignored while disabled
    EXPECT_EQ(aboutOpened, 1);
}

TEST_F(MainWindow, FolderButtonShowsAndStoresTheChosenFolder) {
    Open();
    picker.answer = "/presse";
    QTest::mouseClick(Find<QPushButton>("cmd_Open"), Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>("txt_ChemFich")->text(), "/presse");
    EXPECT_EQ(state.SaveFolder, "/presse");
    EXPECT_EQ(store.values["Chemin"].toString(), "/presse");
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

// Every day chosen by the user is checked, the one already selected included: on a Saturday
// the calendar opens on today unchecked, and a click on today is refused.
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
        int day;
        qsizetype messages;
        QString dayText;
    };
    const Pick picks[] = {{12, 1, "12"}, {11, 1, "11"}, {11, 1, "11"}, {13, 2, "12"}, {30, 3, "12"}};
    for (const Pick& pick : picks) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellOf(pick.day));
        EXPECT_EQ(messages.shown.size(), pick.messages) << pick.day;
        EXPECT_EQ(state.DayText, pick.dayText) << pick.day;
    }
    EXPECT_EQ(Calendar()->selectedDate(), clock.today);
    EXPECT_EQ(state.DateRejected, 1);
}
