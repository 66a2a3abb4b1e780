#include "ui/calendar.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QTextCharFormat>

namespace lectoria {

namespace {
QFont CalendarFont(qreal points, bool bold) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}
} // namespace

MonthCalendar::MonthCalendar(QWidget* parent) : QCalendarWidget(parent) {
    setLocale(QLocale(QLocale::French, QLocale::France));
    setFirstDayOfWeek(Qt::Monday);
    // Typing digits would open an inline date editor that applies a half-typed date a moment
    // later; the arrow keys and the mouse choose the day.
    setDateEditEnabled(false);
    setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames); // "sam." does not fit a 29-pixel column
    setFont(CalendarFont(8.25, false));
    QTextCharFormat dayNames;
    dayNames.setFont(CalendarFont(8.25, true));
    setHeaderTextFormat(dayNames);
    // The month title, 12-point bold, in the navigation bar.
    if (QWidget* bar = findChild<QWidget*>(QStringLiteral("qt_calendar_navigationbar"))) {
        for (const char* part : {"qt_calendar_monthbutton", "qt_calendar_yearbutton"})
            if (QWidget* button = bar->findChild<QWidget*>(QString::fromLatin1(part)))
                button->setFont(CalendarFont(12, true));
    }
    // A click on the day already selected changes nothing, yet it is a day chosen by the user;
    // the grid's mouse release tells such a click from one that moved the selection.
    if (auto* grid = findChild<QAbstractItemView*>(QStringLiteral("qt_calendar_calendarview")))
        grid->viewport()->installEventFilter(this);
    connect(this, &QCalendarWidget::selectionChanged, this, &MonthCalendar::OnSelectionChanged);
    connect(this, &QCalendarWidget::clicked, this, &MonthCalendar::OnClicked);
}

void MonthCalendar::SetValue(const QDate& day) {
    // A day set by the program is not a day chosen by the user.
    settingFromCode_ = true;
    setSelectedDate(day);
    settingFromCode_ = false;
}

bool MonthCalendar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease)
        changedByThisClick_ = false;
    return QCalendarWidget::eventFilter(watched, event);
}

void MonthCalendar::OnSelectionChanged() {
    if (settingFromCode_)
        return;
    changedByThisClick_ = true;
    emit dayChosen();
}

void MonthCalendar::OnClicked() {
    if (!changedByThisClick_)
        emit dayChosen();
    changedByThisClick_ = false;
}

} // namespace lectoria
