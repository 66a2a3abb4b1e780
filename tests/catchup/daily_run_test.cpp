#include "catchup/daily_run.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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
                              {"--manquantes", "--silencieux", "--dossier", "D:/Mes journaux/"}};
    EXPECT_TRUE(ScheduleDailyRun(setup, QTime(6, 5), runner).done);
    EXPECT_TRUE(UnscheduleDailyRun(setup, runner).done);
    const QList<QStringList> expected{
        {"schtasks", "/Create", "/F", "/SC", "DAILY", "/ST", "06:05", "/TN", "Lectoria", "/TR",
         "\"C:\\Lectoria\\lectoria-cli.exe\" --manquantes --silencieux --dossier \"D:\\Mes journaux\\\\\""},
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

// A value with a line break would add a line of its own to the unit or the crontab (another
// ExecStartPre=, another cron job), and a backslash before % cuts a cron job's command: such a
// value is refused before anything is run, written or shown.
TEST(DailyRun, ControlCharactersNeverReachTheUnitTheCrontabOrTheTask) {
    struct Case {
        Scheduler scheduler;
        const char* systemState;
        QString program;
        QStringList arguments;
        const char* named;
    };
    const QString cli = "/usr/bin/lectoria-cli";
    const Case cases[] = {
        {Scheduler::SystemdUser,
         "running",
         cli,
         {"--dossier", "x\nExecStartPre=/bin/touch /tmp/pwned"},
         "--dossier, « x\\nExecStartPre=/bin/touch /tmp/pwned »"},
        {Scheduler::SystemdUser, "offline", cli, {"--dossier", "y\n* * * * * touch /tmp/pwned #"}, "« y\\n* * * *"},
        {Scheduler::SystemdUser, "running", cli, {"--dossier", "a\rb"}, "« a\\rb »"},
        {Scheduler::SystemdUser, "running", cli, {"--ville", "Lyon", "--dossier", "tab\there"}, "« tab\\there »"},
        {Scheduler::SystemdUser, "running", cli, {"--garder", QString("3") + QChar(0x7f)}, "--garder, « 3\\x7f »"},
        {Scheduler::SystemdUser, "running", cli, {"--dossier", QString("nul") + QChar(0x1b) + "[2J"}, "nul\\x1b[2J"},
        {Scheduler::SystemdUser,
         "offline",
         "/opt/x\n* * * * * id #/lectoria-cli",
         {"--manquantes"},
         "Le chemin du programme"},
        {Scheduler::SystemdUser, "offline", cli, {"--dossier", "/srv/a\\%b"}, "barre oblique inverse suivie de %"},
        {Scheduler::WindowsTasks, "", "C:/lectoria-cli.exe", {"--dossier", "D:/a\r\nb"}, "« D:/a\\r\\nb »"},
        {Scheduler::WindowsTasks, "", "C:/lectoria-cli.exe", {"--dossier", "D:/a\" & calc \""}, "guillemet"},
    };
    for (const Case& c : cases) {
        QTemporaryDir config;
        RecordingRunner runner;
        runner.answer.output = c.systemState;
        const ScheduleSetup setup{c.scheduler, config.filePath("systemd/user"), c.program, c.arguments};
        const ScheduleOutcome outcome = ScheduleDailyRun(setup, QTime(6, 30), runner);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_FALSE(outcome.done) << what;
        EXPECT_TRUE(outcome.out.isEmpty()) << what << ": " << outcome.out.join('\n').toStdString();
        ASSERT_EQ(outcome.err.size(), 1) << what;
        EXPECT_TRUE(outcome.err.first().contains(c.named)) << outcome.err.first().toStdString();
        EXPECT_FALSE(outcome.err.first().contains('\n')) << what;
        EXPECT_TRUE(runner.calls.isEmpty()) << what;
        EXPECT_FALSE(QDir(config.filePath("systemd")).exists()) << what;
    }
}

// The unit written for systemd skips quietly once the program is gone (after apt purge).
TEST(DailyRun, TheServiceRunsOnlyWhileTheProgramIsThere) {
    QTemporaryDir config;
    RecordingRunner runner;
    runner.answer.output = "running";
    const ScheduleSetup setup{
        Scheduler::SystemdUser, config.filePath("systemd/user"), "/opt/100% Lectoria/lectoria-cli", {"--manquantes"}};
    ASSERT_TRUE(ScheduleDailyRun(setup, QTime(6, 30), runner).done);
    QFile unit(config.filePath("systemd/user/lectoria.service"));
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(unit.readAll()), "[Unit]\n"
                                                 "Description=Lectoria : éditions du jour manquantes\n"
                                                 "ConditionPathExists=/opt/100%% Lectoria/lectoria-cli\n\n"
                                                 "[Service]\n"
                                                 "Type=oneshot\n"
                                                 "TimeoutStartSec=2h\n"
                                                 "ExecStart=\"/opt/100%% Lectoria/lectoria-cli\" \"--manquantes\"\n");

    // Removed while systemd is not running (no "systemctl disable"): its enabling link goes too.
    const QString wants = config.filePath("systemd/user/timers.target.wants");
    ASSERT_TRUE(QDir().mkpath(wants));
    ASSERT_TRUE(QFile::link("../lectoria.timer", wants + "/lectoria.timer"));
    runner.answer.output = "offline";
    EXPECT_TRUE(UnscheduleDailyRun(setup, runner).done);
    EXPECT_EQ(QDir(config.filePath("systemd/user")).entryList(QDir::Files | QDir::System), QStringList{});
    EXPECT_FALSE(QFileInfo(wants + "/lectoria.timer").isSymLink());
}
