#include "catchup/catch_up.h"

#include "download/folder_lock.h"
#include "rules/date_check.h"
#include "rules/editions.h"
#include "rules/version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace lectoria::catchup {

int ObservedTransfer::IsConnected(const QString& url) {
    const int answer = inner_ ? inner_->IsConnected(url) : 1;
    offline = answer == 0;
    return answer;
}

void ObservedTransfer::SetOption(const QString& name, const QString& value) {
    if (inner_)
        inner_->SetOption(name, value);
}

void ObservedTransfer::ClearFiles() {
    if (inner_)
        inner_->ClearFiles();
}

int ObservedTransfer::Download(QWidget* owner, const QString& url, const QString& file) {
    attempted = true;
    return inner_ ? inner_->Download(owner, url, file) : -1;
}

QList<Edition> PlanCatchUp(const QStringList& papers, const QStringList& cities, const QDate& today,
                           std::optional<int> keepDays) {
    QList<Edition> editions;
    for (const QString& paper : papers) {
        for (const QDate& day : AcceptedDays(paper, MaxAgeDaysOf(paper), today)) {
            if (keepDays && day < today.addDays(-*keepDays))
                continue;
            for (const QString& city : cities)
                if (IsPaperDistributed(paper, city))
                    editions.append({paper, city, day});
        }
    }
    std::stable_sort(editions.begin(), editions.end(),
                     [](const Edition& a, const Edition& b) { return a.day < b.day; });
    return editions;
}

bool IsCompletePdf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kTail = 1024;
    if (!file.read(5).startsWith("%PDF-"))
        return false;
    file.seek(qMax<qint64>(0, file.size() - kTail));
    return file.read(kTail).contains("%%EOF");
}

namespace {

SelectionState SelectionFor(const QString& paper, const QString& city, const QDate& day, const QString& folder) {
    SelectionState state;
    state.AppVersion = VersionText();
    SelectCity(state, city, static_cast<int>(CityNames().indexOf(city)));
    SelectPaper(state, paper);
    RefreshDateParts(state, day.day(), day.month(), day.year());
    state.SaveFolder = folder;
    return state;
}

// Keeps the refusals the action shows (its success message is dropped: the run reports itself).
class CollectedMessages final : public MessageSink {
public:
    QStringList refusals;
    int Show(const QString& text, int style, const QString&) override {
        if (style != MessageStyle::Ok)
            refusals.append(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        return kAnswerOk;
    }
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(QDate today) : today_(today) {}
    QDate Today() const override { return today_; }

private:
    QDate today_;
};

} // namespace

CatchUpResult RunCatchUp(const QList<Edition>& editions, const QString& folder, const QDate& today,
                         CatchUpServices& services, const std::function<void(const EditionReport&)>& report) {
    // Today is read once: a run that crosses midnight keeps the window it started with.
    const FixedClock clock(today);
    FixedFolderBox folderBox(folder);
    // The cause that made each host stop answering: its remaining editions are not asked for.
    QHash<QString, QString> silentHosts;
    for (const Edition& edition : editions) {
        SelectionState state = SelectionFor(edition.paper, edition.city, edition.day, folder);
        EditionReport done{edition, {}, {}, EditionStatus::Fetched, 0, {}};
        BuildSourceUrl(state, services.archives);
        BuildTargetFile(state);
        const QUrl source(state.SourceUrl);
        const QString host = source.host() + u':' + QString::number(source.port(-1));
        if (IsCompletePdf(state.TargetFile)) {
            done.url = state.SourceUrl;
            done.file = state.TargetFile;
            done.status = EditionStatus::Present;
            done.bytes = QFileInfo(state.TargetFile).size();
            report(done);
            continue;
        }
        if (const auto silent = silentHosts.constFind(host); silent != silentHosts.cend()) {
            done.url = state.SourceUrl;
            done.file = state.TargetFile;
            done.status = EditionStatus::Failed;
            done.error =
                *silent +
                QStringLiteral(" (Édition non demandée : le serveur %1 ne répondait déjà plus.)").arg(source.host());
            report(done);
            continue;
        }
        PlainCalendar calendar(edition.day);
        CollectedMessages messages;
        ObservedTransfer transfer(&services.transfer);
        DownloadContext context{nullptr,        calendar,  clock,    messages,         services.drives,
                                services.files, folderBox, transfer, services.archives};
        DownloadSelectedEdition(state, context);
        if (transfer.offline)
            return {CatchUpStop::Offline, messages.refusals.join(QLatin1Char('\n'))};
        if (!transfer.attempted) // the folder (the only check left open) was refused
            return {CatchUpStop::Refused, messages.refusals.join(QLatin1Char('\n'))};
        done.url = state.SourceUrl;
        done.file = state.TargetFile;
        if (state.DownloadResult == TransferResult::Downloaded) {
            done.bytes = QFileInfo(state.TargetFile).size();
        } else {
            // A web page where the edition should be is how many sites say "not there yet".
            const bool missing =
                state.DownloadResult == TransferResult::NotFound || state.DownloadResult == TransferResult::WebPage;
            done.status = missing ? EditionStatus::NotPublished : EditionStatus::Failed;
            done.error = transfer.LastError();
            if (state.DownloadResult == TransferResult::TimedOut ||
                state.DownloadResult == TransferResult::NetworkError)
                silentHosts.insert(host, done.error);
        }
        report(done);
    }
    return {};
}

namespace {

// Why a folder cannot be listed, in the words of the rest of the program.
QString ListingCause(const std::error_code& error) {
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        return QStringLiteral("permission refusée");
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
        return QStringLiteral("il n'existe plus");
    return QStringLiteral("erreur système %1").arg(error.value());
}

std::filesystem::path NativePath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

} // namespace

void RemoveOldEditions(const QString& folder, const QStringList& papers, const QStringList& cities, const QDate& today,
                       int keepDays, const std::function<void(const EditionReport&)>& report) {
    // QDir lists an unreadable folder as an empty one: the clean-up would do nothing and say
    // nothing. The folder is opened first, and a refusal is a failure of the run like any other.
    std::error_code error;
    const std::filesystem::directory_iterator opened(NativePath(folder), error);
    if (error) {
        report({{},
                {},
                folder,
                EditionStatus::Failed,
                0,
                QStringLiteral("Impossible de lire le contenu du dossier %1 (%2) : les éditions de plus de %3 jours "
                               "n'ont pas été supprimées.")
                    .arg(QDir::toNativeSeparators(folder), ListingCause(error))
                    .arg(keepDays)});
        return;
    }
    const QDir dir(folder);
    const QDate oldestKept = today.addDays(-keepDays);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        const auto name = ParseEditionFileName(entry.fileName());
        if (!name || name->day >= oldestKept || !papers.contains(name->paperName) || !cities.contains(name->cityName))
            continue;
        EditionReport removed{{name->paperName, name->cityName, name->day},
                              {},
                              entry.filePath(),
                              EditionStatus::Removed,
                              entry.size(),
                              {}};
        if (!QFile::remove(entry.filePath())) {
            removed.status = EditionStatus::Failed;
            removed.error = QStringLiteral("Impossible de supprimer le fichier.");
        }
        report(removed);
    }
}

OneEditionResult FetchOneEdition(const OneEdition& chosen, const Clock& clock, MessageSink& messages,
                                 CatchUpServices& services) {
    SelectionState state = SelectionFor(chosen.paper, chosen.city, chosen.day, chosen.folder);
    PlainCalendar calendar(chosen.day);
    FixedFolderBox folderBox(chosen.folder);
    ObservedTransfer transfer(chosen.addressOnly ? nullptr : &services.transfer);
    DownloadContext context{nullptr,        calendar,  clock,    messages,         services.drives,
                            services.files, folderBox, transfer, services.archives};
    DownloadSelectedEdition(state, context);

    OneEditionResult result{OneEditionEnd::Done, state.SourceUrl, state.TargetFile, {}};
    if (transfer.offline)
        result.end = OneEditionEnd::Offline;
    else if (!transfer.attempted)
        result.end = OneEditionEnd::Refused;
    else if (!chosen.addressOnly && state.DownloadResult != TransferResult::Downloaded)
        result.end = state.DownloadResult == kFolderBusy ? OneEditionEnd::FolderBusy : OneEditionEnd::Failed;
    if (result.end == OneEditionEnd::FolderBusy || result.end == OneEditionEnd::Failed)
        result.error = services.transfer.LastError();
    return result;
}

} // namespace lectoria::catchup
