// lectoria-cli: the Download action without a window. Same rules, same checks, same library
// as the window; messages go to the terminal instead of message boxes.
#include "cli_options.h"

#include "download/download_action.h"
#include "rules/editions.h"
#include "rules/version.h"
#include "storage/drive_check.h"
#include "storage/settings_store.h"
#include "transfer/http_transfer_library.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QNetworkProxyFactory>
#include <QTextStream>
#include <QTranslator>

using namespace lectoria;
using namespace lectoria::cli;

namespace {

QTextStream& Out() {
    static QTextStream stream(stdout);
    return stream;
}
QTextStream& Err() {
    static QTextStream stream(stderr);
    return stream;
}

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

// Lets the command line tell a refused check, a missing connection and a failed transfer
// apart, without a second copy of the action's order of checks.
class ObservedTransfer final : public TransferLibrary {
public:
    explicit ObservedTransfer(TransferLibrary* inner) : inner_(inner) {}
    bool offline = false;
    bool attempted = false;

    int IsConnected() override {
        const int answer = inner_ ? inner_->IsConnected() : 1;
        offline = answer == 0;
        return answer;
    }
    void SetOption(const QString& name, const QString& value) override {
        if (inner_)
            inner_->SetOption(name, value);
    }
    void ClearFiles() override {
        if (inner_)
            inner_->ClearFiles();
    }
    // Without an inner library this is a dry run: nothing is fetched and nothing is shown.
    int Download(QWidget* owner, const QString& url, const QString& file) override {
        attempted = true;
        return inner_ ? inner_->Download(owner, url, file) : -1;
    }
    QString LastError() const override { return inner_ ? inner_->LastError() : QString(); }

private:
    TransferLibrary* inner_;
};

class FixedFolderBox final : public FolderBoxPort {
public:
    explicit FixedFolderBox(QString text) : text_(std::move(text)) {}
    QString Text() const override { return text_; }
    void SetText(const QString& text) override { text_ = text; }

private:
    QString text_;
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

struct Request {
    QString paper = kTwentyMinutes;
    QString city;
    int cityPosition = -1;
    QDate day;
    QString folder;
    bool addressOnly = false;
};

// The stored city and folder are defaults only; the command line never writes them.
void ApplyStoredDefaults(Request& request) {
    const auto store = MakeUserSettingsStore();
    const auto index = StoredCityIndexFrom(store->Read(kCityValueName));
    if (index && *index >= 1 && *index <= CityNames().size()) {
        request.cityPosition = *index - 1;
        request.city = CityNames().at(request.cityPosition);
    }
    if (const auto folder = store->Read(kFolderValueName))
        request.folder = folder->toString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lectoria-cli"));
    LoadFrenchTranslations(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Télécharge l'édition PDF du jour choisi de « 20 minutes » ou de « Metro » pour une ville."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Affiche cette aide."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Affiche la version."));
    const QCommandLineOption paper(QStringLiteral("journal"),
                                   QStringLiteral("Journal : « 20 minutes » (ou 20minutes) ou « metro ». "
                                                  "Par défaut : 20 minutes."),
                                   QStringLiteral("NOM"));
    const QCommandLineOption city(
        QStringLiteral("ville"), QStringLiteral("Ville : %1. Par défaut : la ville enregistrée.").arg(AcceptedCities()),
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
    parser.addOptions({help, version, paper, city, date, folder, address});

    if (!parser.parse(QCoreApplication::arguments()))
        return BadCommandLine(parser.errorText());
    if (parser.isSet(help)) {
        Out() << parser.helpText() << Qt::endl
              << QStringLiteral("Codes de sortie : 0 réussite, 2 ligne de commande incorrecte, 3 choix refusé, "
                                "4 pas de connexion, 5 échec du téléchargement.")
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
        const auto chosen = PaperFromArgument(parser.value(paper));
        if (!chosen)
            return BadCommandLine(QStringLiteral("Journal inconnu : « %1 ». Journaux acceptés : « 20 minutes » "
                                                 "(ou « 20minutes ») et « metro ».")
                                      .arg(parser.value(paper)));
        request.paper = *chosen;
    }
    if (parser.isSet(city)) {
        const auto chosen = CityFromArgument(parser.value(city));
        if (!chosen)
            return BadCommandLine(QStringLiteral("Ville inconnue : « %1 ». Villes acceptées : %2.")
                                      .arg(parser.value(city), AcceptedCities()));
        request.city = *chosen;
        request.cityPosition = static_cast<int>(CityNames().indexOf(*chosen));
    }
    const SystemClock clock;
    request.day = clock.Today();
    if (parser.isSet(date)) {
        const auto chosen = DateFromArgument(parser.value(date));
        if (!chosen)
            return BadCommandLine(
                QStringLiteral("Date incorrecte : « %1 ». Format attendu : AAAA-MM-JJ, par exemple 2007-05-03.")
                    .arg(parser.value(date)));
        request.day = *chosen;
    }
    if (parser.isSet(folder))
        request.folder = parser.value(folder);
    // A relative folder is taken from the current directory, as a shell user expects.
    if (!request.folder.isEmpty())
        request.folder = QDir::cleanPath(QDir::current().absoluteFilePath(request.folder));
    request.addressOnly = parser.isSet(address);

    SelectionState state;
    state.AppVersion = VersionText();
    SelectCity(state, request.city, request.cityPosition);
    SelectPaper(state, request.paper);
    PlainCalendar calendar(request.day);
    RefreshDateParts(state, calendar.Day(), calendar.Month(), calendar.Year());
    state.SaveFolder = request.folder;

    QNetworkProxyFactory::setUseSystemConfiguration(true);
    HttpTransferLibrary library;
    ObservedTransfer transfer(request.addressOnly ? nullptr : &library);
    TerminalMessages messages;
    const auto drives = MakeSystemDriveQuery();
    SystemFileLookup files;
    FixedFolderBox folderBox(request.folder);
    const ArchiveSettings archives = LoadArchiveSettingsFromEnvironment();
    DownloadContext context{nullptr, calendar, clock, messages, *drives, files, folderBox, transfer, archives};

    DownloadSelectedEdition(state, context);

    if (transfer.offline)
        return ExitStatus::NoConnection;
    if (!transfer.attempted)
        return ExitStatus::Refused;
    if (request.addressOnly) {
        Out() << state.SourceUrl << '\n' << state.TargetFile << Qt::endl;
        return ExitStatus::Success;
    }
    if (state.DownloadResult == TransferResult::Downloaded)
        return ExitStatus::Success;
    Err() << QStringLiteral("Échec du téléchargement : ") << library.LastError() << Qt::endl;
    return ExitStatus::TransferFailed;
}
