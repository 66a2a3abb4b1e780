#include "catchup/daily_run.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace lectoria::catchup;

namespace {
struct RecordingRunner final : CommandRunner {
    CommandResult answer{true, 0, {}};
    QList<QStringList> calls;
    CommandResult Run(const QString& program, const QStringList& arguments) override {
        calls.append(QStringList{program} + arguments);
        return answer;
    }
};
} // namespace

TEST(DailyRun, WindowsTaskSchedulerCreatesAndDeletesOneDailyTask) {
    RecordingRunner runner;
    const ScheduleSetup setup{Scheduler::WindowsTasks,
                              {},
                              "C:/Lectoria/lectoria-cli.exe",
                              {"--manquantes", "--silencieux", "--dossier", "D:/Mes journaux"}};
    EXPECT_TRUE(ScheduleDailyRun(setup, QTime(6, 5), runner).done);
    EXPECT_TRUE(UnscheduleDailyRun(setup, runner).done);
    const QList<QStringList> expected{
        {"schtasks", "/Create", "/F", "/SC", "DAILY", "/ST", "06:05", "/TN", "Lectoria", "/TR",
         "\"C:/Lectoria/lectoria-cli.exe\" --manquantes --silencieux --dossier \"D:/Mes journaux\""},
        {"schtasks", "/Delete", "/F", "/TN", "Lectoria"}};
    EXPECT_EQ(runner.calls, expected);
    runner.answer.exitCode = 1;
    const ScheduleOutcome refused = ScheduleDailyRun(setup, QTime(6, 5), runner);
    EXPECT_FALSE(refused.done);
    EXPECT_TRUE(refused.out.isEmpty());
}

// A folder name is copied into a unit file and a crontab: every character must reach the
// program as it was.
TEST(DailyRun, ArgumentsSurviveSystemdAndCron) {
    struct Case {
        const char* argument;
        const char* systemd;
        const char* cron;
    };
    const Case cases[] = {{"/home/a b", "\"/home/a b\"", "'/home/a b'"},
                          {"100%", "\"100%%\"", "'100\\%'"},
                          {"$HOME", "\"$$HOME\"", "'$HOME'"},
                          {"l'\"x\"\\", "\"l'\\\"x\\\"\\\\\"", "'l'\\''\"x\"\\'"}};
    for (const Case& c : cases) {
        EXPECT_EQ(SystemdQuoted(c.argument), c.systemd) << c.argument;
        EXPECT_EQ(CrontabQuoted(c.argument), c.cron) << c.argument;
    }
}
