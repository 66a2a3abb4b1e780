#pragma once

#include "rules/ports.h"

#include <QCalendarWidget>

namespace lectoria {

// The month calendar: French names, weeks from Monday, no week numbers. dayChosen is raised
// for the user's changes only: a click on a day (the selected one included), the keyboard, the
// month and year buttons. SetValue (start-up, reset after a refusal) raises nothing.
class MonthCalendar final : public QCalendarWidget, public CalendarPort {
    Q_OBJECT
public:
    explicit MonthCalendar(QWidget* parent);
    QDate Value() const override { return selectedDate(); }
    void SetValue(const QDate& day) override;

signals:
    void dayChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSelectionChanged();
    void OnClicked();

    bool settingFromCode_ = false;
    bool changedByThisClick_ = false;
};

} // namespace lectoria
