#pragma once

#include <QString>
#include <QStringList>
#include <QTime>

namespace lectoria::catchup {

struct CommandResult {
    bool started = false; // false when the program could not be run at all
    int exitCode = -1;
    QString output; // stdout
};

// Runs another program and waits for it. The real one starts a process; tests use doubles.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual CommandResult Run(const QString& program, const QStringList& arguments) = 0;
};

class ProcessRunner final : public CommandRunner {
public:
    CommandResult Run(const QString& program, const QStringList& arguments) override;
};

enum class Scheduler { SystemdUser, WindowsTasks };
Scheduler NativeScheduler();

// Where and how the daily run is set up: the program and the arguments it is run with, and for
// systemd the folder of the user's units ($XDG_CONFIG_HOME/systemd/user).
struct ScheduleSetup {
    Scheduler scheduler = Scheduler::SystemdUser;
    QString unitFolder;
    QString program;
    QStringList arguments;
};

// Whether the daily run is set (or removed), and the lines to tell the user.
struct ScheduleOutcome {
    bool done = false;
    QStringList out;
    QStringList err;
};

// Sets the daily run at `at` (systemd user service and timer with Persistent=true, enabled at
// once; or a daily task of the Windows Task Scheduler). Without a running systemd nothing is
// written and the matching crontab line is given instead. A program path or argument holding a
// control character (a line break would add a line to the unit or the crontab) is refused before
// anything is run, written or shown.
ScheduleOutcome ScheduleDailyRun(const ScheduleSetup& setup, const QTime& at, CommandRunner& runner);
// Removes it again.
ScheduleOutcome UnscheduleDailyRun(const ScheduleSetup& setup, CommandRunner& runner);

// One argument for an ExecStart= line of a systemd unit.
QString SystemdQuoted(const QString& argument);
// One argument for a crontab command (a POSIX shell word, with % escaped for cron).
QString CrontabQuoted(const QString& argument);

} // namespace lectoria::catchup
