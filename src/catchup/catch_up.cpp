#include "catchup/catch_up.h"

#include "download/folder_lock.h"
#include "rules/date_check.h"
#include "rules/editions.h"
#include "rules/version.h"
#include "storage/durable_file.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

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
    // Opening a fifo or a device under an edition's name would wait on it for good.
    if (!QFileInfo(path).isFile())
        return false;
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

// A host that timed out, could not be reached, or whose proxy failed would make every edition
// after it wait for the same failure.
bool StopsTheHost(int result) {
    return result == TransferResult::TimedOut || result == TransferResult::NetworkError ||
           result == TransferResult::ProxyError;
}

// Said after the cause for each edition of that host left aside.
QString SkippedNote(int result, const QString& host) {
    if (result == TransferResult::ProxyError)
        return QStringLiteral(" (Édition non demandée : le proxy avait déjà échoué pour le serveur %1.)").arg(host);
    return QStringLiteral(" (Édition non demandée : le serveur %1 ne répondait déjà plus.)").arg(host);
}

QString HostOf(const QUrl& source) {
    return source.host() + u':' + QString::number(source.port(-1));
}

// The editions a catch-up fetches, taken ahead side by side while the run goes through them in
// order: the action's Download of an edition waits, in the event loop, for its transfer's end.
// Everything runs on this thread; the transfers move on while the run waits. Each host has as
// many transfers under way as it is worth (a few connections for HTTP/1.1, every edition at once
// once the server is seen multiplexing them over HTTP/2). A host's editions wait until the action
// reached the download of its first one (its checks passed). Once a transfer finds its host
// silent, the editions of that host not yet started are not asked for.
class FetchAhead final : public TransferLibrary {
public:
    FetchAhead(TransferLibrary& main, ConcurrentTransfers& transfers) : main_(main), transfers_(transfers) {
        transfers_.onMoreAtOnce = [this](const QString& url) { Pump(HostOf(QUrl(url))); };
    }
    ~FetchAhead() override {
        Stop();
        transfers_.onMoreAtOnce = nullptr;
    }
    FetchAhead(const FetchAhead&) = delete;
    FetchAhead& operator=(const FetchAhead&) = delete;

    void Plan(const QString& url, const QString& file, const QString& host) {
        jobs_.push_back({url, file, host, Job::Waiting, TransferResult::NetworkError, {}});
    }

    bool Planned(const QString& file) const { return Find(file) != nullptr; }

    // Whether the transfer of `file` was started (or is done).
    bool Started(const QString& file) const {
        const Job* job = Find(file);
        return job && (job->state == Job::Running || job->state == Job::Done);
    }

    // No transfer is started any more; those under way end.
    void Stop() {
        stopping_ = true;
        WaitUntil([this] { return running_ == 0; });
    }

    // How the transfer of `file` ended, if it has.
    std::optional<std::pair<int, QString>> Ended(const QString& file) const {
        const Job* job = Find(file);
        if (!job || job->state != Job::Done)
            return std::nullopt;
        return std::make_pair(job->result, job->error);
    }

    // A transfer already started has reached its host or has its own cause: asking the network
    // again could stop the run on an edition that is written, or being written, already.
    int IsConnected(const QString& url) override {
        for (const Job& job : jobs_)
            if (job.url == url && (job.state == Job::Running || job.state == Job::Done))
                return 1;
        return main_.IsConnected(url);
    }
    void SetOption(const QString&, const QString&) override {}
    void ClearFiles() override { lastError_.clear(); }
    QString LastError() const override { return lastError_; }

    int Download(QWidget* owner, const QString& url, const QString& file) override {
        Job* job = Find(file);
        if (job && job->url != url) {
            // Not the planned transfer after all: the planned one must not be writing the same file.
            if (job->state == Job::Waiting)
                job->state = Job::Skipped;
            WaitUntil([job] { return job->state != Job::Running; });
        }
        if (!job || job->url != url) {
            const int result = main_.Download(owner, url, file);
            lastError_ = main_.LastError();
            return result;
        }
        Release(job->host);
        WaitUntil([job] { return job->state == Job::Done || job->state == Job::Skipped; });
        lastError_ = job->error;
        return job->result;
    }

private:
    struct Job {
        QString url;
        QString file;
        QString host;
        enum State { Waiting, Running, Done, Skipped } state = Waiting;
        int result = TransferResult::NetworkError;
        QString error;
    };

    const Job* Find(const QString& file) const {
        const auto found =
            std::find_if(jobs_.begin(), jobs_.end(), [&file](const Job& job) { return job.file == file; });
        return found == jobs_.end() ? nullptr : &*found;
    }
    Job* Find(const QString& file) { return const_cast<Job*>(std::as_const(*this).Find(file)); }

    void Release(const QString& host) {
        if (released_.contains(host))
            return;
        released_.insert(host);
        Pump(host);
    }

    // Starts the host's next editions, in order, up to what the host is worth at once.
    void Pump(const QString& host) {
        if (!released_.contains(host) || stopping_)
            return;
        if (const auto silent = silentHosts_.constFind(host); silent != silentHosts_.cend()) {
            for (Job& job : jobs_)
                if (job.host == host && job.state == Job::Waiting) {
                    job.state = Job::Skipped;
                    job.result = TransferResult::TimedOut;
                    job.error = *silent;
                }
            Wake();
            return;
        }
        int underWay = static_cast<int>(std::count_if(jobs_.cbegin(), jobs_.cend(), [&host](const Job& job) {
            return job.host == host && job.state == Job::Running;
        }));
        for (std::size_t index = 0; index < jobs_.size(); ++index) {
            Job& job = jobs_[index];
            if (job.host != host || job.state != Job::Waiting)
                continue;
            if (underWay >= transfers_.AtOnce(job.url))
                break;
            job.state = Job::Running;
            ++underWay;
            ++running_;
            // By index: the list does not change once transfers run, but a reference says less.
            transfers_.Start(job.url, job.file,
                             [this, index](int result, const QString& error) { Finished(index, result, error); });
        }
    }

    void Finished(std::size_t index, int result, const QString& error) {
        Job& job = jobs_[index];
        job.result = result;
        job.error = error;
        job.state = Job::Done;
        --running_;
        if (StopsTheHost(result))
            silentHosts_.insert(job.host, error);
        Pump(job.host);
        Wake();
    }

    // Runs the event loop, where the transfers move on, until `ready` holds.
    template <typename Condition> void WaitUntil(Condition ready) {
        while (!ready()) {
            QEventLoop loop;
            waiting_ = &loop;
            loop.exec();
            waiting_ = nullptr;
        }
    }
    void Wake() {
        if (waiting_)
            waiting_->quit();
    }

    TransferLibrary& main_;
    ConcurrentTransfers& transfers_;
    std::vector<Job> jobs_;
    QSet<QString> released_;
    QHash<QString, QString> silentHosts_;
    int running_ = 0;
    bool stopping_ = false;
    QEventLoop* waiting_ = nullptr;
    QString lastError_;
};

SelectionState PlannedState(const Edition& edition, const QString& folder, const ArchiveSettings& archives) {
    SelectionState state = SelectionFor(edition.paper, edition.city, edition.day, folder);
    BuildSourceUrl(state, archives);
    BuildTargetFile(state);
    return state;
}

// An edition's report once its transfer has ended with `result`.
void SetOutcome(EditionReport& done, int result, const QString& error) {
    if (result == TransferResult::Downloaded) {
        done.status = EditionStatus::Fetched;
        done.bytes = QFileInfo(done.file).size();
        return;
    }
    // A web page where the edition should be is how many sites say "not there yet".
    const bool missing = result == TransferResult::NotFound || result == TransferResult::WebPage;
    done.status = missing ? EditionStatus::NotPublished : EditionStatus::Failed;
    done.error = error;
}

// A run stopped early: what the workers had already fetched from `from` on is reported all the
// same, oldest first, so that no file written is left out of the report and the notification.
void ReportEndedAhead(FetchAhead& ahead, const QList<Edition>& editions, qsizetype from, const QString& folder,
                      const ArchiveSettings& archives, const std::function<void(const EditionReport&)>& report) {
    ahead.Stop();
    for (qsizetype i = from; i < editions.size(); ++i) {
        const SelectionState state = PlannedState(editions[i], folder, archives);
        const auto ended = ahead.Ended(state.TargetFile);
        if (!ended)
            continue;
        EditionReport done{editions[i], state.SourceUrl, state.TargetFile, EditionStatus::Fetched, 0, {}};
        SetOutcome(done, ended->first, ended->second);
        report(done);
    }
}

} // namespace

CatchUpResult RunCatchUp(const QList<Edition>& editions, const QString& folder, const QDate& today,
                         CatchUpServices& services, const std::function<void(const EditionReport&)>& report,
                         ConcurrentTransfers* parallel) {
    // Today is read once: a run that crosses midnight keeps the window it started with.
    const FixedClock clock(today);
    FixedFolderBox folderBox(folder);
    // The cause that made each host stop answering: its remaining editions are not asked for.
    QHash<QString, QString> silentHosts;
    std::unique_ptr<FetchAhead> ahead;
    if (parallel) {
        ahead = std::make_unique<FetchAhead>(services.transfer, *parallel);
        for (const Edition& edition : editions) {
            const SelectionState state = PlannedState(edition, folder, services.archives);
            if (!IsCompletePdf(state.TargetFile))
                ahead->Plan(state.SourceUrl, state.TargetFile, HostOf(QUrl(state.SourceUrl)));
        }
    }
    TransferLibrary& library = ahead ? *ahead : services.transfer;
    for (qsizetype index = 0; index < editions.size(); ++index) {
        const Edition& edition = editions[index];
        SelectionState state = PlannedState(edition, folder, services.archives);
        EditionReport done{edition, {}, {}, EditionStatus::Fetched, 0, {}};
        const QUrl source(state.SourceUrl);
        const QString host = HostOf(source);
        // With workers, what was there is known from before they started: by now they may have
        // completed an edition that is not reported yet.
        if (ahead ? !ahead->Planned(state.TargetFile) : IsCompletePdf(state.TargetFile)) {
            done.url = state.SourceUrl;
            done.file = state.TargetFile;
            done.status = EditionStatus::Present;
            done.bytes = QFileInfo(state.TargetFile).size();
            report(done);
            continue;
        }
        // An edition a worker already took up is reported as it ended, not as one left aside.
        const auto silent = silentHosts.constFind(host);
        if (silent != silentHosts.cend() && !(ahead && ahead->Started(state.TargetFile))) {
            done.url = state.SourceUrl;
            done.file = state.TargetFile;
            done.status = EditionStatus::Failed;
            done.error = *silent;
            report(done);
            continue;
        }
        PlainCalendar calendar(edition.day);
        CollectedMessages messages;
        ObservedTransfer transfer(&library);
        DownloadContext context{nullptr,        calendar,  clock,    messages,         services.drives,
                                services.files, folderBox, transfer, services.archives};
        DownloadSelectedEdition(state, context);
        // Offline, or the folder (the only check left open) refused.
        if (transfer.offline || !transfer.attempted) {
            if (ahead)
                ReportEndedAhead(*ahead, editions, index, folder, services.archives, report);
            return {transfer.offline ? CatchUpStop::Offline : CatchUpStop::Refused,
                    messages.refusals.join(QLatin1Char('\n'))};
        }
        done.url = state.SourceUrl;
        done.file = state.TargetFile;
        SetOutcome(done, state.DownloadResult, transfer.LastError());
        if (StopsTheHost(state.DownloadResult))
            silentHosts.insert(host, done.error + SkippedNote(state.DownloadResult, source.host()));
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

// "<edition>.part" and "<edition>.part.validateur" become "<edition>"; false for any other name.
bool StripPartialSuffix(QString& fileName) {
    for (const QLatin1String suffix : {QLatin1String(".part"), QLatin1String(".part.validateur")})
        if (fileName.endsWith(suffix)) {
            fileName.chop(suffix.size());
            return true;
        }
    return false;
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
        QString fileName = entry.fileName();
        // What an interrupted download of an edition this old left: it will not be asked for again.
        const bool partial = StripPartialSuffix(fileName);
        const auto name = ParseEditionFileName(fileName);
        if (!name || name->day >= oldestKept || !papers.contains(name->paperName) || !cities.contains(name->cityName))
            continue;
        if (partial) {
            QFile::remove(entry.filePath());
            continue;
        }
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
