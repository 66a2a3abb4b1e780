#pragma once

#include "rules/ports.h"
#include "update/author_settings.h"
#include "update/history_fetcher.h"
#include "update/history_reader.h"
#include "update/url_opener.h"

#include <QString>

namespace lectoria {

// What the check shows of its progress in the About window.
class UpdateView {
public:
    virtual ~UpdateView() = default;
    virtual void ShowProgressText(const QString& text) = 0; // makes the label visible
    virtual void ShowProgressValue(int value) = 0;          // makes the bar visible, 0..100
    virtual void SetBusyCursor(bool busy) = 0;
    virtual void ProcessPendingEvents() = 0; // lets the display changes be painted
};

namespace UpdateTexts {
inline const QString Connecting = QStringLiteral("Connexion");
inline const QString Analysing = QStringLiteral("Analyse");
inline const QString Done = QStringLiteral("Terminé");
inline const QString Failed = QStringLiteral("Echec");
inline const QString UpdateTitle = QStringLiteral("Mise à jour");
inline const QString FailureTitle = QStringLiteral("Echec de connexion");
QString UpToDateMessage(const QString& latestVersion);
QString DifferentMessage(const QString& appVersion, const QString& latestVersion);
QString FailureMessage();
} // namespace UpdateTexts

// Fetches the history file, tells the user whether this version is the latest one and offers
// the update archive, or the program's web page when the fetch failed. A fetch that fails
// takes the same path as a history text without its marker: the user asked, and gets an
// answer. Defects of a fetched text (no "*", no TAB, a position past the limit) end the
// check silently, leaving the display at the stage it had reached.
class UpdateCheck {
public:
    UpdateCheck(UpdateView& view, HistoryFetcher& fetcher, MessageSink& messages, UrlOpener& opener,
                AuthorSettings author, QString appVersion);

    // Runs one check to its end. Not re-entrant: the caller keeps its button disabled.
    void Run();
    bool IsRunning() const { return running_; }

    // The window is going away: stops a waiting fetch; the running check ends without
    // touching the view or showing anything more.
    void Abandon();

    // Working values of the last check.
    const QString& HistoryText() const { return historyText_; }
    int LastAnswer() const { return answer_; }

private:
    void RunSteps();
    void FailurePath();

    UpdateView& view_;
    HistoryFetcher& fetcher_;
    MessageSink& messages_;
    UrlOpener& opener_;
    AuthorSettings author_;
    QString appVersion_;

    QString historyText_;
    int answer_ = 0;
    bool running_ = false;
    bool abandoned_ = false;
};

} // namespace lectoria
