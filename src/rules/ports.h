#pragma once

#include <QDate>
#include <QString>

namespace lectoria {

// Message box style codes, as the program's messages are written.
namespace MessageStyle {
inline constexpr int Ok = 0;
inline constexpr int YesNo = 4;
inline constexpr int Critical = 16;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;
inline constexpr int DefaultButton2 = 256;
inline constexpr int YesNoCriticalDefaultNo = YesNo + Critical + DefaultButton2; // 276
} // namespace MessageStyle

inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// A modal message: text (lines separated by CR LF), style code, title. An empty title means
// the application's title. Returns the button pressed.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual int Show(const QString& text, int style, const QString& title) = 0;
};

// Today's local date, without time of day. Rules never read the system clock themselves.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate Today() const = 0;
};

class SystemClock final : public Clock {
public:
    QDate Today() const override { return QDate::currentDate(); }
};

// What the rules need of the month calendar: the selected day, readable and settable.
// Setting it from code never raises the day-chosen event.
class CalendarPort {
public:
    virtual ~CalendarPort() = default;
    virtual QDate Value() const = 0;
    virtual void SetValue(const QDate& day) = 0;
    int Day() const { return Value().day(); }
    int Month() const { return Value().month(); }
    int Year() const { return Value().year(); }
};

// A calendar without a widget, for the command line and for tests.
class PlainCalendar final : public CalendarPort {
public:
    explicit PlainCalendar(QDate day = {}) : day_(day) {}
    QDate Value() const override { return day_; }
    void SetValue(const QDate& day) override { day_ = day; }

private:
    QDate day_;
};

} // namespace lectoria
