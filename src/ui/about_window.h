#pragma once

#include "rules/ports.h"
#include "rules/selection_state.h"
#include "update/author_settings.h"
#include "update/history_fetcher.h"
#include "update/update_check.h"
#include "update/url_opener.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace lectoria {

class LinkLabel;

struct AboutSettings {
    AuthorSettings author = DefaultAuthorSettings();
    FetchSettings fetch;
};

// The About window: name and version, the author's web page and mail links, the update
// check with its progress row, and OK. It is a tool window of its own rather than a child of
// the main window, since a disabled parent would disable it too; while it is open the main
// window is disabled, and every way of closing it deletes it and enables the main window.
class frmAbout final : public QWidget, private UpdateView {
    Q_OBJECT
public:
    frmAbout(QWidget* mainWindow, const SelectionState& state, UrlOpener& opener, MessageSink& messages,
             AboutSettings settings);
    ~frmAbout() override;

    // What the main window's About button runs: shows a new About window beside the main
    // window, then disables the main window. The desktop's handlers open the addresses, the
    // messages are boxes over the About window, the host may come from LECTORIA_AUTHOR_HOST or
    // the settings (LoadConfiguredAuthorSettings).
    static frmAbout* Open(QWidget* mainWindow, const SelectionState& state);
    // The same with given services (the references must outlive the window).
    static frmAbout* Open(QWidget* mainWindow, const SelectionState& state, UrlOpener& opener, MessageSink& messages,
                          AboutSettings settings);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    frmAbout(QWidget* mainWindow, const SelectionState& state, UrlOpener* opener, MessageSink* messages,
             AboutSettings settings);
    static frmAbout* Show(frmAbout* about, QWidget* mainWindow);
    void BuildControls();
    void OnUpdateClicked();
    void EnableMainWindow();

    // UpdateView
    void ShowProgressText(const QString& text) override;
    void ShowProgressValue(int value) override;
    void SetBusyCursor(bool busy) override;
    void ProcessPendingEvents() override;

    QPointer<QWidget> mainWindow_;
    QPointer<QWidget> returnFocusTo_; // the main window's control that opened this window
    const SelectionState& state_;
    AboutSettings settings_;
    std::unique_ptr<UrlOpener> ownOpener_;
    std::unique_ptr<MessageSink> ownMessages_;
    UrlOpener& opener_;
    MessageSink& messages_;
    std::unique_ptr<HistoryFetcher> fetcher_;
    UpdateCheck check_;
    bool deleteWhenCheckEnds_ = false;

    QPushButton* cmdOK_ = nullptr;
    QLabel* lbl_name_ = nullptr;
    LinkLabel* lbl_site_ = nullptr;
    LinkLabel* lbl_email_ = nullptr;
    QPushButton* cmdUpdate_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    QLabel* lbl_progress_ = nullptr;
};

} // namespace lectoria
