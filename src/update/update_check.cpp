#include "update/update_check.h"

#include <utility>

namespace lectoria {

namespace UpdateTexts {
namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

QString UpToDateMessage(const QString& latestVersion) {
    return QStringLiteral("Dernière version : ") + latestVersion + kCrLf + kCrLf +
           QStringLiteral("Votre version est à jour.");
}

QString DifferentMessage(const QString& appVersion, const QString& latestVersion) {
    return QStringLiteral("Votre version : ") + appVersion + kCrLf + QStringLiteral("Version disponible : ") +
           latestVersion + kCrLf + kCrLf + QStringLiteral("Voulez-vous télécharger cette version ?");
}

QString FailureMessage() {
    return QStringLiteral("Echec lors de la connexion.") + kCrLf + kCrLf +
           QStringLiteral("Veuillez vérifier que votre connexion internet est active et que votre firewall ne "
                          "bloque pas la mise à jour.") +
           kCrLf + kCrLf + QStringLiteral("Voulez-vous essayer d'accéder à la page internet du logiciel ?");
}
} // namespace UpdateTexts

UpdateCheck::UpdateCheck(UpdateView& view, HistoryFetcher& fetcher, MessageSink& messages, UrlOpener& opener,
                         AuthorSettings author, QString appVersion)
    : view_(view), fetcher_(fetcher), messages_(messages), opener_(opener), author_(std::move(author)),
      appVersion_(std::move(appVersion)) {}

void UpdateCheck::Abandon() {
    abandoned_ = true;
    fetcher_.Cancel();
}

void UpdateCheck::Run() {
    if (running_ || abandoned_)
        return;
    running_ = true;
    RunSteps();
    running_ = false;
}

void UpdateCheck::RunSteps() {
    view_.ShowProgressText(UpdateTexts::Connecting);
    view_.ShowProgressValue(25);
    view_.SetBusyCursor(true);
    fetcher_.Cancel();
    view_.ProcessPendingEvents();
    if (abandoned_)
        return;

    const FetchResult fetched = fetcher_.Fetch(HistoryFileUrl(author_));
    if (abandoned_)
        return; // the window is closing: nothing more is shown
    if (fetched.status == FetchStatus::Cancelled) {
        view_.SetBusyCursor(false);
        return;
    }
    historyText_ = fetched.text;
    const HistoryReading reading = ReadHistory(historyText_, appVersion_);
    if (reading.markerBeyondLimit) {
        view_.SetBusyCursor(false);
        return;
    }

    view_.ShowProgressValue(50);
    view_.SetBusyCursor(false);
    switch (reading.verdict) {
    case HistoryVerdict::MarkerMissing:
        FailurePath();
        return;
    case HistoryVerdict::FieldUnreadable:
        return;
    case HistoryVerdict::UpToDate:
    case HistoryVerdict::Different:
        break;
    }

    historyText_ = reading.latestVersion;
    view_.ShowProgressValue(75);
    view_.ShowProgressText(UpdateTexts::Analysing);
    if (reading.verdict == HistoryVerdict::UpToDate) {
        view_.ShowProgressValue(100);
        messages_.Show(UpdateTexts::UpToDateMessage(historyText_), MessageStyle::Information, UpdateTexts::UpdateTitle);
        return;
    }
    view_.ShowProgressValue(100);
    view_.ShowProgressText(UpdateTexts::Done);
    answer_ = messages_.Show(UpdateTexts::DifferentMessage(appVersion_, historyText_), MessageStyle::YesNo,
                             UpdateTexts::UpdateTitle);
    if (answer_ == kAnswerYes && !abandoned_)
        opener_.Open(UpdateArchiveUrl(author_));
}

void UpdateCheck::FailurePath() {
    view_.ShowProgressValue(100);
    view_.ShowProgressText(UpdateTexts::Failed);
    answer_ =
        messages_.Show(UpdateTexts::FailureMessage(), MessageStyle::YesNoCriticalDefaultNo, UpdateTexts::FailureTitle);
    if (answer_ == kAnswerYes && !abandoned_)
        opener_.Open(ProgramWebPageUrl(author_));
}

} // namespace lectoria
