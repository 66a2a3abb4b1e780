#include "ui/calendar_accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCalendarWidget>
#include <QDate>
#include <QLocale>
#include <QPointer>

#include <array>

namespace lectoria {

namespace {

constexpr int kWeeks = 6;
constexpr int kDaysPerWeek = 7;
constexpr int kDaysShown = kWeeks * kDaysPerWeek;

const QString kGridName = QStringLiteral("qt_calendar_calendarview");

QCalendarWidget* CalendarOf(const QWidget* grid) {
    for (QWidget* ancestor = grid ? grid->parentWidget() : nullptr; ancestor; ancestor = ancestor->parentWidget())
        if (auto* calendar = qobject_cast<QCalendarWidget*>(ancestor))
            return calendar;
    return nullptr;
}

// The grid's model puts the weekday names in its first row (and week numbers, when shown, in
// its first column) before the 6 x 7 days.
QModelIndex CellOf(const QAbstractItemView* grid, int position) {
    const QAbstractItemModel* model = grid->model();
    const int firstRow = model->rowCount() - kWeeks;
    const int firstColumn = model->columnCount() - kDaysPerWeek;
    return model->index(firstRow + position / kDaysPerWeek, firstColumn + position % kDaysPerWeek);
}

int PositionOf(const QAbstractItemView* grid, const QModelIndex& cell) {
    const QAbstractItemModel* model = grid->model();
    const int row = cell.row() - (model->rowCount() - kWeeks);
    const int column = cell.column() - (model->columnCount() - kDaysPerWeek);
    if (!cell.isValid() || row < 0 || row >= kWeeks || column < 0 || column >= kDaysPerWeek)
        return -1;
    return row * kDaysPerWeek + column;
}

// The page's days follow each other: any day's date is the chosen day's, moved by the distance
// between their cells. The grid's current cell is always the chosen day's.
QDate DateAt(const QAbstractItemView* grid, int position) {
    const QCalendarWidget* calendar = CalendarOf(grid);
    const int chosen = PositionOf(grid, grid->currentIndex());
    if (!calendar || chosen < 0)
        return {};
    return calendar->selectedDate().addDays(position - chosen);
}

class CalendarDayList;

// One day of the page.
class CalendarDay final : public QAccessibleInterface {
public:
    CalendarDay(QAbstractItemView* grid, int position) : grid_(grid), position_(position) {}

    bool isValid() const override { return grid_ && grid_->model(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return grid_ ? grid_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(grid_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Name || !isValid())
            return {};
        const QDate day = DateAt(grid_, position_);
        return day.isValid()
                   ? QLocale(QLocale::French, QLocale::France).toString(day, QStringLiteral("dddd d MMMM yyyy"))
                   : QString();
    }

    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect cell = grid_->visualRect(CellOf(grid_, position_));
        return {grid_->viewport()->mapToGlobal(cell.topLeft()), cell.size()};
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        state.focusable = true;
        state.selectable = true;
        if (isValid() && PositionOf(grid_, grid_->currentIndex()) == position_) {
            state.selected = true;
            state.focused = grid_->hasFocus();
        }
        return state;
    }

    int position() const { return position_; }

private:
    QPointer<QAbstractItemView> grid_;
    int position_;
};

class CalendarDayList final : public QAccessibleWidget {
public:
    explicit CalendarDayList(QAbstractItemView* grid) : QAccessibleWidget(grid, QAccessible::List) {
        for (int position = 0; position < kDaysShown; ++position) {
            days_[position] = new CalendarDay(grid, position);
            ids_[position] = QAccessible::registerAccessibleInterface(days_[position]); // Qt owns it now
        }
    }
    ~CalendarDayList() override {
        for (const QAccessible::Id id : ids_)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return kDaysShown; }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < kDaysShown ? days_[index] : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int position = 0; position < kDaysShown; ++position)
            if (days_[position] == child)
                return position;
        return -1;
    }
    QAccessibleInterface* focusChild() const override {
        const auto* grid = static_cast<const QAbstractItemView*>(widget());
        return grid->hasFocus() ? child(PositionOf(grid, grid->currentIndex())) : nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const auto* grid = static_cast<const QAbstractItemView*>(widget());
        return child(PositionOf(grid, grid->indexAt(grid->viewport()->mapFromGlobal(QPoint(x, y)))));
    }

    QAccessibleInterface* ChosenDay() const {
        const auto* grid = static_cast<const QAbstractItemView*>(widget());
        return child(PositionOf(grid, grid->currentIndex()));
    }

private:
    std::array<CalendarDay*, kDaysShown> days_{};
    std::array<QAccessible::Id, kDaysShown> ids_{};
};

} // namespace

QAccessibleInterface* MakeCalendarDayList(QObject* object) {
    auto* grid = qobject_cast<QAbstractItemView*>(object);
    if (!grid || grid->objectName() != kGridName)
        return nullptr;
    return new CalendarDayList(grid);
}

bool ReplaceCalendarGridEvent(QAccessibleEvent* event, void (*send)(QAccessibleEvent*)) {
    QObject* object = event->object();
    if (!object || object->objectName() != kGridName)
        return false;
    // The grid's own name or description changing, its showing or hiding: Qt's event is right.
    if (event->child() < 0 && event->type() != QAccessible::Focus)
        return false;
    // The grid got the focus, or its cursor moved: the chosen day has the focus. Qt's events
    // about its table cells (the cursor, the selection) would name cells that do not exist here.
    if (event->type() == QAccessible::Focus) {
        auto* list = dynamic_cast<CalendarDayList*>(QAccessible::queryAccessibleInterface(object));
        if (auto* day = list ? list->ChosenDay() : nullptr) {
            QAccessibleEvent focus(day, QAccessible::Focus);
            send(&focus);
        } else {
            send(event);
        }
    }
    return true;
}

} // namespace lectoria
