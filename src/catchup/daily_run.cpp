#include "catchup/daily_run.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>

#include <algorithm>
#include <optional>

namespace lectoria::catchup {

CommandResult ProcessRunner::Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return {};
    process.waitForFinished(60000);
    const bool ended = process.exitStatus() == QProcess::NormalExit && process.state() == QProcess::NotRunning;
    return {true, ended ? process.exitCode() : -1, QString::fromLocal8Bit(process.readAllStandardOutput())};
}

Scheduler NativeScheduler() {
#ifdef Q_OS_WIN
    return Scheduler::WindowsTasks;
#else
    return Scheduler::SystemdUser;
#endif
}

QString SystemdQuoted(const QString& argument) {
    QString quoted = argument;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    // systemd expands %x sequences and $VARIABLES inside ExecStart=, even between quotes.
    quoted.replace(QLatin1Char('%'), QLatin1String("%%")).replace(QLatin1Char('$'), QLatin1String("$$"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CrontabQuoted(const QString& argument) {
    QString quoted = argument;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    quoted.replace(QLatin1Char('%'), QLatin1String("\\%")); // cron turns a bare % into a new line
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

namespace {

const QString kTaskName = QStringLiteral("Lectoria");
const QString kServiceName = QStringLiteral("lectoria.service");
const QString kTimerName = QStringLiteral("lectoria.timer");
const QString kSystemctl = QStringLiteral("systemctl");

QString CommandLine(const ScheduleSetup& setup, QString (*quote)(const QString&)) {
    QStringList words{quote(setup.program)};
    for (const QString& argument : setup.arguments)
        words.append(quote(argument));
    return words.join(QLatin1Char(' '));
}

// Windows' own separators, whatever system writes the task.
QString WithBackslashes(QString path) {
    return path.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

// A word of a Windows command line as the program's C runtime splits it again: in double quotes
// when it holds a space, with the backslashes before the closing quote doubled (« D:\Presse\ »
// would otherwise end in an escaped quote). Double quotes themselves are refused beforehand.
QString WindowsWord(const QString& word) {
    if (!word.isEmpty() && !word.contains(QLatin1Char(' ')))
        return word;
    qsizetype trailing = 0;
    while (trailing < word.size() && word.at(word.size() - 1 - trailing) == QLatin1Char('\\'))
        ++trailing;
    return QLatin1Char('"') + word + QString(trailing, QLatin1Char('\\')) + QLatin1Char('"');
}

// On Windows the Task Scheduler takes one command line: the program in double quotes, then its
// arguments; the program and the folder are written with backslashes.
QString WindowsCommandLine(const ScheduleSetup& setup) {
    QStringList words{QLatin1Char('"') + WithBackslashes(setup.program) + QLatin1Char('"')};
    for (qsizetype i = 0; i < setup.arguments.size(); ++i) {
        const bool folder = i > 0 && setup.arguments.at(i - 1) == QLatin1String("--dossier");
        const QString& argument = setup.arguments.at(i);
        words.append(WindowsWord(folder ? WithBackslashes(argument) : argument));
    }
    return words.join(QLatin1Char(' '));
}

// How a refused value is shown: its control characters written out, so that the message itself
// stays on one line and shows where the culprit is.
QString Visible(const QString& value) {
    QString shown;
    for (const QChar c : value) {
        if (c == QLatin1Char('\n'))
            shown += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            shown += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            shown += QLatin1String("\\t");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

bool HasControlCharacter(const QString& value) {
    return std::any_of(value.cbegin(), value.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

// A unit file and a crontab are read line by line: a line break inside a value would end the
// command and start a line of its own (another ExecStartPre=, another cron job). No quoting of
// systemd or cron keeps a line break inside a word, so such a value is refused, as is any other
// control character. The Windows task's command line has no escape for a double quote either.
std::optional<QString> UnsafeValue(const ScheduleSetup& setup) {
    const bool windows = setup.scheduler == Scheduler::WindowsTasks;
    const QStringList values = QStringList{setup.program} + setup.arguments;
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QString& value = values.at(i);
        const bool control = HasControlCharacter(value);
        // cron reads « \% » as an escaped % only when the backslash is not itself escaped: no
        // quoting brings a backslash followed by % through a crontab line.
        const bool cronSplit = !windows && value.contains(QLatin1String("\\%"));
        if (!control && !cronSplit && !(windows && value.contains(QLatin1Char('"'))))
            continue;
        const QString option = i > 1 ? values.at(i - 1) : QString();
        const QString what = i == 0 ? QStringLiteral("Le chemin du programme « %1 »").arg(Visible(value))
                             : option.startsWith(QLatin1String("--"))
                                 ? QStringLiteral("La valeur de %1, « %2 »,").arg(option, Visible(value))
                                 : QStringLiteral("L'argument « %1 »").arg(Visible(value));
        const QString flaw = control     ? QStringLiteral("contient un caractère de contrôle (retour à la ligne, "
                                                              "tabulation…)")
                             : cronSplit ? QStringLiteral("contient une barre oblique inverse suivie de %, que cron "
                                                          "ne sait pas transmettre")
                                         : QStringLiteral("contient un guillemet (\"), que le Planificateur de "
                                                          "tâches ne sait pas transmettre");
        return QStringLiteral("%1 %2 : le téléchargement quotidien n'a pas été programmé.").arg(what, flaw);
    }
    return std::nullopt;
}

bool SystemdRunning(CommandRunner& runner) {
    const CommandResult answer =
        runner.Run(kSystemctl, {QStringLiteral("--user"), QStringLiteral("is-system-running")});
    const QString state = answer.output.trimmed();
    return answer.started && (state == QLatin1String("running") || state == QLatin1String("degraded") ||
                              state == QLatin1String("starting") || state == QLatin1String("initializing"));
}

bool Systemctl(CommandRunner& runner, const QStringList& arguments) {
    const CommandResult answer = runner.Run(kSystemctl, QStringList{QStringLiteral("--user")} + arguments);
    return answer.started && answer.exitCode == 0;
}

bool WriteText(const QString& path, const QString& text) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit();
}

// A path for a Condition...= line: taken as it is, but for the % sequences that systemd expands.
QString SystemdPath(QString path) {
    return path.replace(QLatin1Char('%'), QLatin1String("%%"));
}

// Once the program is removed (apt purge keeps each user's units), the timer still fires: the
// condition makes each morning's run a quiet skip instead of a failure.
// A oneshot service has no time limit of its own: a server that trickles a byte now and then
// would hold the run, and its folder's lock, until the next morning's run is skipped too.
QString ServiceUnit(const ScheduleSetup& setup) {
    return QStringLiteral("[Unit]\n"
                          "Description=Lectoria : éditions du jour manquantes\n"
                          "ConditionPathExists=%1\n\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "TimeoutStartSec=2h\n"
                          "ExecStart=%2\n")
        .arg(SystemdPath(setup.program), CommandLine(setup, SystemdQuoted));
}

QString TimerUnit(const QTime& at) {
    return QStringLiteral("[Unit]\n"
                          "Description=Lectoria chaque jour à %1\n\n"
                          "[Timer]\n"
                          "OnCalendar=*-*-* %1:00\n"
                          "Persistent=true\n\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n")
        .arg(at.toString(QStringLiteral("HH:mm")));
}

ScheduleOutcome ScheduleWithSystemd(const ScheduleSetup& setup, const QTime& at, CommandRunner& runner) {
    if (!SystemdRunning(runner)) {
        return {
            false,
            {QStringLiteral("%1 %2 * * * %3").arg(at.minute()).arg(at.hour()).arg(CommandLine(setup, CrontabQuoted))},
            {QStringLiteral("systemd ne fonctionne pas pour cette session : rien n'a été programmé. "
                            "Pour programmer avec cron, ajoutez avec « crontab -e » la ligne :")}};
    }
    const QDir folder(setup.unitFolder);
    if (!QDir().mkpath(setup.unitFolder) || !WriteText(folder.filePath(kServiceName), ServiceUnit(setup)) ||
        !WriteText(folder.filePath(kTimerName), TimerUnit(at)))
        return {false, {}, {QStringLiteral("Impossible d'écrire dans %1.").arg(setup.unitFolder)}};
    if (!Systemctl(runner, {QStringLiteral("daemon-reload")}) ||
        !Systemctl(runner, {QStringLiteral("enable"), QStringLiteral("--now"), kTimerName}))
        return {
            false,
            {},
            {QStringLiteral("Les fichiers %1 et %2 sont écrits, mais « systemctl --user enable --now %2 » a échoué.")
                 .arg(kServiceName, kTimerName)}};
    return {true,
            {QStringLiteral("Téléchargement programmé chaque jour à %1 (%2). Une matinée manquée est "
                            "rattrapée au démarrage suivant.")
                 .arg(at.toString(QStringLiteral("HH:mm")), folder.filePath(kTimerName))},
            {}};
}

ScheduleOutcome UnscheduleWithSystemd(const ScheduleSetup& setup, CommandRunner& runner) {
    const QDir folder(setup.unitFolder);
    if (!folder.exists(kTimerName) && !folder.exists(kServiceName))
        return {true, {QStringLiteral("Aucun téléchargement programmé.")}, {}};
    const bool running = SystemdRunning(runner);
    if (running)
        Systemctl(runner, {QStringLiteral("disable"), QStringLiteral("--now"), kTimerName});
    if (!QFile::remove(folder.filePath(kTimerName)) && folder.exists(kTimerName))
        return {false, {}, {QStringLiteral("Impossible de supprimer %1.").arg(kTimerName)}};
    if (!QFile::remove(folder.filePath(kServiceName)) && folder.exists(kServiceName))
        return {false, {}, {QStringLiteral("Impossible de supprimer %1.").arg(kServiceName)}};
    // What "systemctl enable" made, which "disable" could not undo without systemd: left, the
    // link would dangle for good.
    const QString enabled = folder.filePath(QStringLiteral("timers.target.wants/") + kTimerName);
    if (!running && QFileInfo(enabled).isSymLink())
        QFile::remove(enabled);
    if (running)
        Systemctl(runner, {QStringLiteral("daemon-reload")});
    return {true, {QStringLiteral("Téléchargement quotidien déprogrammé.")}, {}};
}

ScheduleOutcome WithTaskScheduler(CommandRunner& runner, const QStringList& arguments, const QString& done) {
    const CommandResult answer = runner.Run(QStringLiteral("schtasks"), arguments);
    if (!answer.started || answer.exitCode != 0)
        return {false, {}, {QStringLiteral("Le Planificateur de tâches a refusé (schtasks).")}};
    return {true, {done}, {}};
}

} // namespace

ScheduleOutcome ScheduleDailyRun(const ScheduleSetup& setup, const QTime& at, CommandRunner& runner) {
    // Checked before anything is written or shown: the crontab line is as much a way in as the unit.
    if (const auto refusal = UnsafeValue(setup))
        return {false, {}, {*refusal}};
    if (setup.scheduler == Scheduler::SystemdUser)
        return ScheduleWithSystemd(setup, at, runner);
    const QString time = at.toString(QStringLiteral("HH:mm"));
    return WithTaskScheduler(
        runner,
        {QStringLiteral("/Create"), QStringLiteral("/F"), QStringLiteral("/SC"), QStringLiteral("DAILY"),
         QStringLiteral("/ST"), time, QStringLiteral("/TN"), kTaskName, QStringLiteral("/TR"),
         WindowsCommandLine(setup)},
        QStringLiteral("Téléchargement programmé chaque jour à %1 (tâche « %2 »).").arg(time, kTaskName));
}

ScheduleOutcome UnscheduleDailyRun(const ScheduleSetup& setup, CommandRunner& runner) {
    if (setup.scheduler == Scheduler::SystemdUser)
        return UnscheduleWithSystemd(setup, runner);
    return WithTaskScheduler(runner,
                             {QStringLiteral("/Delete"), QStringLiteral("/F"), QStringLiteral("/TN"), kTaskName},
                             QStringLiteral("Téléchargement quotidien déprogrammé."));
}

} // namespace lectoria::catchup
