#pragma once

#include "download/download_action.h"
#include "rules/addresses.h"
#include "rules/ports.h"
#include "storage/drive_check.h"
#include "transfer/transfer_library.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace lectoria::catchup {

// Lets a front end without a window tell a refused check, a missing connection and a failed
// transfer apart, without a second copy of the action's order of checks. Without an inner
// library it is a dry run: nothing is fetched.
class ObservedTransfer final : public TransferLibrary {
public:
    explicit ObservedTransfer(TransferLibrary* inner) : inner_(inner) {}
    bool offline = false;
    bool attempted = false;

    int IsConnected(const QString& url) override;
    void SetOption(const QString& name, const QString& value) override;
    void ClearFiles() override;
    int Download(QWidget* owner, const QString& url, const QString& file) override;
    QString LastError() const override { return inner_ ? inner_->LastError() : QString(); }

private:
    TransferLibrary* inner_;
};

// The folder box of a front end without a window: the folder it was given.
class FixedFolderBox final : public FolderBoxPort {
public:
    explicit FixedFolderBox(QString text) : text_(std::move(text)) {}
    QString Text() const override { return text_; }
    void SetText(const QString& text) override { text_ = text; }

private:
    QString text_;
};

// What a run needs of the outside world.
struct CatchUpServices {
    DriveQuery& drives;
    FileLookup& files;
    TransferLibrary& transfer;
    const ArchiveSettings& archives;
};

struct Edition {
    QString paper;
    QString city;
    QDate day;
};

// The editions a catch-up looks for, oldest first: every day the date rules accept today for
// each paper, in each city where it is distributed. With `keepDays`, nothing older than what
// the clean-up afterwards keeps (so that a run never fetches what it is about to delete).
QList<Edition> PlanCatchUp(const QStringList& papers, const QStringList& cities, const QDate& today,
                           std::optional<int> keepDays);

// A file that starts with "%PDF-" and has "%%EOF" in its last KiB.
bool IsCompletePdf(const QString& path);

enum class EditionStatus { Fetched, Present, NotPublished, Failed, Removed };

struct EditionReport {
    Edition edition;
    QString url;
    QString file;
    EditionStatus status = EditionStatus::Failed;
    qint64 bytes = 0;
    QString error;
};

// Why a run stopped before its end: the folder refused by the action's checks (its message in
// `refusal`), or no connection.
enum class CatchUpStop { None, Refused, Offline };

struct CatchUpResult {
    CatchUpStop stop = CatchUpStop::None;
    QString refusal;
};

// Fetches each planned edition that is not yet in `folder` as a complete PDF, through the
// Download action itself (same checks, same addresses, same library); a damaged file is fetched
// again and replaced only once the new one is complete. Each edition is told to `report`, oldest
// first, as soon as it and every edition before it are done.
// With `parallel`, the editions of each host are fetched side by side through it, as many at once
// as it says the host is worth (`services.transfer` only tests the connection); without it, one
// after the other through `services.transfer`.
CatchUpResult RunCatchUp(const QList<Edition>& editions, const QString& folder, const QDate& today,
                         CatchUpServices& services, const std::function<void(const EditionReport&)>& report,
                         ConcurrentTransfers* parallel = nullptr);

// Deletes from `folder` the editions of these papers and cities older than `keepDays` days:
// only files whose names are exactly the program's own edition names. Each removal is told to
// `report`; a folder that cannot be listed is told as one failure without an edition.
void RemoveOldEditions(const QString& folder, const QStringList& papers, const QStringList& cities, const QDate& today,
                       int keepDays, const std::function<void(const EditionReport&)>& report);

// One chosen edition through the Download action, the way the window fetches it; messages go to
// `messages` as they come. With `addressOnly` every check runs and the addresses are built, but
// nothing is fetched.
struct OneEdition {
    QString paper;
    QString city;
    QDate day;
    QString folder;
    bool addressOnly = false;
};

enum class OneEditionEnd { Done, Refused, Offline, FolderBusy, Failed };

struct OneEditionResult {
    OneEditionEnd end = OneEditionEnd::Done;
    QString url;
    QString file;
    QString error; // the library's last error when the transfer failed or the folder stayed busy
};

OneEditionResult FetchOneEdition(const OneEdition& chosen, const Clock& clock, MessageSink& messages,
                                 CatchUpServices& services);

} // namespace lectoria::catchup
