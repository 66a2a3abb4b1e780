// lectoria-cli: the Download action without a window. Same rules, same checks, same library
// as the window; messages go to the terminal instead of message boxes. It can also fetch every
// edition still missing from the folder, and set that up as a daily run.
#include "cli_options.h"
#include "cli_platform.h"
#include "console.h"

#include "catchup/arrival_notice.h"
#include "catchup/catch_up.h"
#include "catchup/daily_run.h"
#include "catchup/run_report.h"
#include "catchup/tray_notifier.h"
#include "download/download_action.h"
#include "download/folder_lock.h"
#include "rules/editions.h"
#include "rules/version.h"
#include "storage/configured_values.h"
#include "storage/drive_check.h"
#include "storage/settings_store.h"
#include "transfer/http_transfer_library.h"
#include "transfer/qt_messages.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QNetworkProxyFactory>
#include <QStandardPaths>
#include <QTranslator>

using namespace lectoria;
using namespace lectoria::catchup;
using namespace lectoria::cli;

namespace {

// Lines of a message are CR LF separated; a terminal wants plain line breaks.
QString ForTerminal(QString text) {
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// The success message goes to stdout, every refusal to stderr.
class TerminalMessages final : public MessageSink {
public:
    int Show(const QString& text, int style, const QString&) override {
        (style == MessageStyle::Ok ? Out() : Err()) << ForTerminal(text) << Qt::endl;
        return kAnswerOk;
    }
};

void LoadFrenchTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
}

int BadCommandLine(const QString& message) {
    Err() << message << Qt::endl << QStringLiteral("Voir « lectoria-cli --help ».") << Qt::endl;
    return ExitStatus::BadCommandLine;
}

QString AcceptedCities() {
    return CityNames().join(QStringLiteral(", "));
}

enum class Output { Normal, Quiet, Json };

struct Request {
    QStringList papers{kTwentyMinutes};
    QStringList cities; // empty: none stored nor given
    QDate day;
    QString folder;
    bool addressOnly = false;
    bool papersGiven = false;
    bool citiesGiven = false;
    bool folderGiven = false;
    std::optional<int> keepDays;
    Output output = Output::Normal;
    bool notify = true;
};

// The stored city and folder are defaults only; the command line never writes them.
void ApplyStoredDefaults(Request& request) {
    const auto store = MakeUserSettingsStore();
    const auto index = StoredCityIndexFrom(store->Read(kCityValueName));
    if (index && *index >= 1 && *index <= CityNames().size())
        request.cities = QStringList{CityNames().at(*index - 1)};
    if (const auto folder = store->Read(kFolderValueName))
        request.folder = folder->toString();
}

int RunOneEdition(const Request& request) {
    const SystemClock clock;
    HttpTransferLibrary library;
    FolderLockedTransfer locked(library, SystemFolderLocks(), LockWait(kCommandLineLockWait));
    TerminalMessages messages;
    const auto drives = MakeSystemDriveQuery();
    SystemFileLookup files;
    const ArchiveSettings archives = LoadConfiguredArchiveSettings();
    CatchUpServices services{*drives, files, locked, archives};
    const OneEditionResult result = FetchOneEdition(
        {request.papers.first(), request.cities.value(0), request.day, request.folder, request.addressOnly}, clock,
        messages, services);

    switch (result.end) {
    case OneEditionEnd::Offline:
        return ExitStatus::NoConnection;
    case OneEditionEnd::Refused:
        return ExitStatus::Refused;
    case OneEditionEnd::FolderBusy:
        Err() << result.error << Qt::endl;
        return ExitStatus::FolderBusy;
    case OneEditionEnd::Failed:
        Err() << QStringLiteral("Échec du téléchargement : ") << result.error << Qt::endl;
        return ExitStatus::TransferFailed;
    case OneEditionEnd::Done:
        break;
    }
    if (request.addressOnly)
        Out() << result.url << '\n' << result.file << Qt::endl;
    return ExitStatus::Success;
}

// Prints each edition as the run reports it, in the output chosen.
class Printer {
public:
    explicit Printer(Output output) : output_(output) {}

    void Note(const QString& line) const {
        if (output_ == Output::Normal)
            Out() << line << Qt::endl;
    }

    void Add(const EditionReport& edition) {
        report.Add(edition);
        if (output_ == Output::Json)
            Out() << EditionJson(edition) << Qt::endl;
        if (edition.status == EditionStatus::Failed)
            Err() << FailureLine(edition) << Qt::endl;
        else
            Note(EditionLine(edition));
    }

    void Summarise(qint64 elapsedMs) const {
        // Editions the archive has not published yet are still missing: only a folder that has
        // them all gets this line.
        if (report.Count(EditionStatus::Fetched) == 0 && report.Count(EditionStatus::Failed) == 0 &&
            report.Count(EditionStatus::NotPublished) == 0)
            Note(QStringLiteral("Aucune édition manquante : rien à télécharger."));
        Note(report.Summary(elapsedMs));
    }

    RunReport report;

private:
    // A cause shared by the editions that follow (an archive not configured, a host that stopped
    // answering) is said in full once; the lines after it stay readable.
    QString FailureLine(EditionReport edition) {
        if (!edition.error.isEmpty() && edition.error == lastCause_)
            edition.error = QStringLiteral("Même cause.");
        else
            lastCause_ = edition.error;
        return EditionLine(edition);
    }

    Output output_;
    QString lastCause_;
};

// After the run and away from the folder's lock: the desktop is told what arrived, and the
// newest edition is opened if the user asks within the wait.
void Notify(const Request& request, const RunReport& report, const QString& stop) {
    if (!request.notify)
        return;
    // Someone who ran this by hand in a terminal gets the prompt back at once, not after the wait.
    const bool byHand = InATerminal() && !qEnvironmentVariableIsSet("LECTORIA_ATTENTE_NOTIFICATION");
    // A notice that would vanish as soon as it shows says nothing the terminal has not said.
    if (byHand && !NoticeOutlivesTheProgram())
        return;
    if (!byHand)
        CloseOwnConsole();
    const auto notifier = MakeDesktopNotifier(NotificationIcon());
    const auto opener = MakeDesktopUrlOpener();
    NotifyArrivals(report.Editions(), stop, *notifier, *opener,
                   byHand ? std::chrono::milliseconds(0) : NotificationWait());
}

int RunMissingEditions(const Request& request) {
    QElapsedTimer clock;
    clock.start();
    const QDate today = SystemClock().Today();
    Printer printer(request.output);
    // No city at all still goes through the action, which asks for one.
    const QStringList cities = request.cities.isEmpty() ? QStringList{QString()} : request.cities;
    for (const QString& line : NotDistributedLines(request.papers, request.cities))
        printer.Note(line);

    const std::chrono::milliseconds wait = LockWait(kCommandLineLockWait);
    auto lock = SystemFolderLocks().Take(request.folder, wait);
    if (!lock) {
        Err() << FolderBusyMessage(request.folder, wait) << Qt::endl;
        return ExitStatus::FolderBusy;
    }
    if (const QString refusal = lock->Refusal(); !refusal.isEmpty()) {
        Err() << refusal << Qt::endl;
        return ExitStatus::TransferFailed; // nothing is written in a folder that cannot be locked
    }
    HttpTransferLibrary library;
    const auto drives = MakeSystemDriveQuery();
    SystemFileLookup files;
    const ArchiveSettings archives = LoadConfiguredArchiveSettings();
    CatchUpServices services{*drives, files, library, archives};
    // The editions come several at a time over the library's one network manager (on one
    // connection to a server speaking HTTP/2), without a progress line; the report keeps their order.
    const auto add = [&printer](const EditionReport& edition) { printer.Add(edition); };
    const CatchUpResult result = RunCatchUp(PlanCatchUp(request.papers, cities, today, request.keepDays),
                                            request.folder, today, services, add, &library);
    if (result.stop != CatchUpStop::None) {
        Err() << result.refusal << Qt::endl;
        lock.reset();
        Notify(request, printer.report, result.refusal);
        return result.stop == CatchUpStop::Offline ? ExitStatus::NoConnection : ExitStatus::Refused;
    }
    if (request.keepDays)
        RemoveOldEditions(request.folder, request.papers, cities, today, *request.keepDays, add);
    printer.Summarise(clock.elapsed());
    lock.reset();
    Notify(request, printer.report, {});
    return printer.report.Count(EditionStatus::Failed) > 0 ? ExitStatus::TransferFailed : ExitStatus::Success;
}

// The daily run is the catch-up with what was given here, the rest left to the stored settings.
ScheduleSetup DailyRunSetup(const Request& request) {
    ScheduleSetup setup{NativeScheduler(),
                        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                            QStringLiteral("/systemd/user"),
                        QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--manquantes"), QStringLiteral("--silencieux")}};
    if (request.papersGiven)
        setup.arguments << QStringLiteral("--journal") << request.papers.join(QLatin1Char(','));
    if (request.citiesGiven)
        setup.arguments << QStringLiteral("--ville") << request.cities.join(QLatin1Char(','));
    if (request.folderGiven)
        setup.arguments << QStringLiteral("--dossier") << request.folder;
    if (request.keepDays)
        setup.arguments << QStringLiteral("--garder") << QString::number(*request.keepDays);
    if (!request.notify)
        setup.arguments << QStringLiteral("--sans-notification");
    return setup;
}

int Print(const ScheduleOutcome& outcome) {
    for (const QString& line : outcome.err)
        Err() << line << Qt::endl;
    for (const QString& line : outcome.out)
        Out() << line << Qt::endl;
    return outcome.done ? ExitStatus::Success : ExitStatus::ScheduleFailed;
}

} // namespace

int main(int argc, char** argv) {
    // Before the application object: Qt for Windows speaks while it sets up (a DPI setting that
    // Wine refuses, say), and a terminal's user must not see it.
    KeepQtDiagnosticsQuiet();
    const auto application = MakeCliApplication(argc, argv);
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("lectoria-cli"));
    LoadFrenchTranslations(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Télécharge l'édition PDF du jour choisi de « 20 minutes » ou de « Metro » pour une ville."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Affiche cette aide."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Affiche la version."));
    const QCommandLineOption paper(QStringLiteral("journal"),
                                   QStringLiteral("Journal : « 20 minutes » (ou 20minutes) ou « metro ». "
                                                  "Par défaut : 20 minutes. Avec --manquantes : « tous », ou "
                                                  "plusieurs fois, ou une liste séparée par des virgules."),
                                   QStringLiteral("NOM"));
    const QCommandLineOption city(QStringLiteral("ville"),
                                  QStringLiteral("Ville : %1. Par défaut : la ville enregistrée. Avec --manquantes : "
                                                 "plusieurs fois, ou une liste, ou « toutes ».")
                                      .arg(AcceptedCities()),
                                  QStringLiteral("NOM"));
    const QCommandLineOption date(QStringLiteral("date"),
                                  QStringLiteral("Jour de l'édition. Par défaut : aujourd'hui."),
                                  QStringLiteral("AAAA-MM-JJ"));
    const QCommandLineOption folder(QStringLiteral("dossier"),
                                    QStringLiteral("Dossier d'enregistrement. Par défaut : le dossier enregistré."),
                                    QStringLiteral("DOSSIER"));
    const QCommandLineOption address(QStringLiteral("adresse"),
                                     QStringLiteral("Vérifie le choix puis affiche l'adresse de l'édition (ligne 1) "
                                                    "et le chemin du fichier (ligne 2), sans rien télécharger."));
    const QCommandLineOption missing(QStringLiteral("manquantes"),
                                     QStringLiteral("Télécharge, de la plus ancienne à la plus récente, chaque "
                                                    "édition encore disponible qui manque au dossier (ou y est "
                                                    "abîmée)."));
    const QCommandLineOption quiet(QStringLiteral("silencieux"),
                                   QStringLiteral("Avec --manquantes : n'écrit que les erreurs."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Avec --manquantes : un objet JSON par édition (date, journal, "
                                                 "ville, adresse, fichier, statut, octets)."));
    const QCommandLineOption keep(QStringLiteral("garder"),
                                  QStringLiteral("Avec --manquantes : supprime ensuite les éditions de ces journaux "
                                                 "et villes vieilles de plus de N jours (seulement les fichiers "
                                                 "AAAAMMJJ_<journal>_<ville>.pdf)."),
                                  QStringLiteral("N"));
    const QCommandLineOption silent(QStringLiteral("sans-notification"),
                                    QStringLiteral("Avec --manquantes ou --programmer : pas de notification du "
                                                   "bureau après le passage (par défaut, une notification annonce "
                                                   "les éditions arrivées ou en échec, et son action « Ouvrir » "
                                                   "ouvre la plus récente)."));
    const QCommandLineOption schedule(QStringLiteral("programmer"),
                                      QStringLiteral("Lance --manquantes chaque jour à cette heure (minuteur "
                                                     "systemd de l'utilisateur ; Planificateur de tâches sous "
                                                     "Windows)."),
                                      QStringLiteral("HH:MM"));
    const QCommandLineOption unschedule(QStringLiteral("deprogrammer"),
                                        QStringLiteral("Retire le téléchargement quotidien."));
    parser.addOptions(
        {help, version, paper, city, date, folder, address, missing, quiet, json, keep, silent, schedule, unschedule});

    if (!parser.parse(QCoreApplication::arguments()))
        return BadCommandLine(parser.errorText());
    if (parser.isSet(help)) {
        Out() << parser.helpText() << Qt::endl
              << QStringLiteral("Codes de sortie : 0 réussite, 2 ligne de commande incorrecte, 3 choix refusé, "
                                "4 pas de connexion, 5 échec du téléchargement, 6 dossier occupé par un autre "
                                "téléchargement, 7 programmation impossible.")
              << Qt::endl;
        return ExitStatus::Success;
    }
    if (parser.isSet(version)) {
        Out() << ApplicationTitle() << ' ' << VersionText() << Qt::endl;
        return ExitStatus::Success;
    }
    if (!parser.positionalArguments().isEmpty())
        return BadCommandLine(QStringLiteral("Argument inattendu : « %1 ».").arg(parser.positionalArguments().first()));

    Request request;
    ApplyStoredDefaults(request);
    if (parser.isSet(paper)) {
        const NameList chosen = PapersFromArguments(parser.values(paper));
        if (!chosen.unknown.isEmpty() || chosen.names.isEmpty())
            return BadCommandLine(QStringLiteral("Journal inconnu : « %1 ». Journaux acceptés : « 20 minutes » "
                                                 "(ou « 20minutes ») et « metro ».")
                                      .arg(chosen.unknown));
        request.papers = chosen.names;
        request.papersGiven = true;
    }
    if (parser.isSet(city)) {
        const NameList chosen = CitiesFromArguments(parser.values(city));
        if (!chosen.unknown.isEmpty() || chosen.names.isEmpty())
            return BadCommandLine(QStringLiteral("Ville inconnue : « %1 ». Villes acceptées : %2.")
                                      .arg(chosen.unknown, AcceptedCities()));
        request.cities = chosen.names;
        request.citiesGiven = true;
    }
    request.day = SystemClock().Today();
    if (parser.isSet(date)) {
        const auto chosen = DateFromArgument(parser.value(date));
        if (!chosen)
            return BadCommandLine(
                QStringLiteral("Date incorrecte : « %1 ». Format attendu : AAAA-MM-JJ, par exemple 2007-05-03.")
                    .arg(parser.value(date)));
        request.day = *chosen;
    }
    if (parser.isSet(folder)) {
        request.folder = parser.value(folder);
        request.folderGiven = true;
    }
    // A relative folder is taken from the current directory, as a shell user expects.
    if (!request.folder.isEmpty())
        request.folder = QDir::cleanPath(QDir::current().absoluteFilePath(request.folder));
    request.addressOnly = parser.isSet(address);
    if (parser.isSet(keep)) {
        request.keepDays = DaysFromArgument(parser.value(keep));
        if (!request.keepDays)
            return BadCommandLine(QStringLiteral("Nombre de jours incorrect : « %1 ».").arg(parser.value(keep)));
    }
    if (parser.isSet(json) && parser.isSet(quiet))
        return BadCommandLine(QStringLiteral("--json et --silencieux ne vont pas ensemble."));
    request.output = parser.isSet(json) ? Output::Json : parser.isSet(quiet) ? Output::Quiet : Output::Normal;
    request.notify = !parser.isSet(silent);

    QNetworkProxyFactory::setUseSystemConfiguration(true);
    if (parser.isSet(schedule) || parser.isSet(unschedule)) {
        if (parser.isSet(schedule) && parser.isSet(unschedule))
            return BadCommandLine(QStringLiteral("--programmer et --deprogrammer ne vont pas ensemble."));
        ProcessRunner runner;
        if (parser.isSet(unschedule))
            return Print(UnscheduleDailyRun(DailyRunSetup(request), runner));
        const auto at = TimeFromArgument(parser.value(schedule));
        if (!at)
            return BadCommandLine(
                QStringLiteral("Heure incorrecte : « %1 ». Format attendu : HH:MM, par exemple 06:30.")
                    .arg(parser.value(schedule)));
        if (request.cities.isEmpty() || request.folder.isEmpty()) {
            Err() << QStringLiteral("Choisissez d'abord une ville et un dossier (dans la fenêtre, ou avec --ville et "
                                    "--dossier) : le téléchargement quotidien en a besoin.")
                  << Qt::endl;
            return ExitStatus::Refused;
        }
        return Print(ScheduleDailyRun(DailyRunSetup(request), *at, runner));
    }
    if (parser.isSet(missing)) {
        if (parser.isSet(date) || request.addressOnly)
            return BadCommandLine(
                QStringLiteral("--manquantes choisit les jours lui-même : sans --date ni --adresse."));
        return RunMissingEditions(request);
    }
    if (request.papers.size() > 1 || request.cities.size() > 1)
        return BadCommandLine(QStringLiteral("Un seul journal et une seule ville à la fois, sauf avec --manquantes."));
    if (parser.isSet(quiet) || parser.isSet(json) || parser.isSet(keep))
        return BadCommandLine(QStringLiteral("--silencieux, --json et --garder vont avec --manquantes."));
    if (parser.isSet(silent))
        return BadCommandLine(QStringLiteral("--sans-notification va avec --manquantes ou --programmer."));
    return RunOneEdition(request);
}
