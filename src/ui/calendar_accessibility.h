#pragma once

class QAccessibleEvent;
class QAccessibleInterface;
class QObject;

namespace lectoria {

// The calendar's day grid as a screen reader needs it. Qt shows it as a table of bare numbers:
// a move reads the whole week, and neither the month nor the year is ever said. Here it is a
// list of the 42 days on the page, each named in full ("mardi 8 décembre 2026"); the chosen day
// is the selected, focused item, announced when the grid gets the focus and at every move.

// The interface for the calendar's grid (object name "qt_calendar_calendarview"), or null for
// any other object.
QAccessibleInterface* MakeCalendarDayList(QObject* object);

// Qt's own events about the grid's cells speak of table cells that this list does not have.
// Returns true when the event was such an event and has been replaced by the list's own
// (through `send`); false when it is none of the calendar's business.
bool ReplaceCalendarGridEvent(QAccessibleEvent* event, void (*send)(QAccessibleEvent*));

} // namespace lectoria
