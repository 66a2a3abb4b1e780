#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

class QWidget;

namespace lectoria {

// Where a transfer shows how it is going: the modal window of the desktop program, or one line
// on a terminal for the command line.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void Start(const QString& label, const QString& description) = 0;
    virtual void SetStatus(const QString& text) = 0; // "Nouvelle tentative dans 2 s…"
    // total < 0 when the size is unknown; bytesPerSecond may be 0 at the start.
    virtual void SetProgress(qint64 received, qint64 total, double bytesPerSecond) = 0;
    // Tells the cause of a failure under a heading that replaces the one given to Start
    // ("Échec du téléchargement", "Téléchargement annulé"); the window waits for "Fermer" when
    // asked to.
    virtual void ShowFailure(const QString& heading, const QString& text, bool waitForClose) = 0;
    virtual void Finish() = 0;
    // Called when the user asks to stop (the "Annuler" button, or closing the window).
    std::function<void()> onCancel;
};

// The window (owner given) or the terminal line (no owner; silent when stderr is not a terminal).
std::unique_ptr<ProgressView> MakeProgressView(QWidget* owner);
// Shows nothing: for transfers that run beside others, whose lines would mix on a terminal.
std::unique_ptr<ProgressView> MakeSilentProgressView();

// "12,3 Mo"
QString FormatMegabytes(qint64 bytes);
// "740 ko" below one megabyte, "12,3 Mo" from there on.
QString FormatSize(qint64 bytes);
// The text with a line-break opportunity after each path separator (an invisible U+200B).
QString BreakablePaths(const QString& text);

} // namespace lectoria
