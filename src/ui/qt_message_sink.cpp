#include "ui/qt_message_sink.h"

#include "rules/version.h"

#include <QLabel>
#include <QMessageBox>
#include <QScreen>

namespace lectoria {

namespace {
QMessageBox::Icon IconOf(int style) {
    switch (style & 0x70) {
    case MessageStyle::Critical:
        return QMessageBox::Critical;
    case MessageStyle::Exclamation:
        return QMessageBox::Warning;
    case MessageStyle::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}
// QMessageBox wraps any text wider than half the screen or 500 pixels, which breaks short lines
// such as the age refusal in two. A line gets all the room it needs, up to a width that still
// reads as a message box; longer paragraphs wrap at their spaces.
void GiveLinesTheirRoom(QMessageBox& box, const QString& text) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return;
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    int limit = 640;
    if (const QScreen* screen = box.screen())
        limit = qMin(limit, screen->availableGeometry().width() * 4 / 5);
    label->setMinimumWidth(qMin(widest + 2, limit));
}

// Once a box closes, the window manager may activate any window, even a disabled one (the main
// window under the About window): the keyboard would then reach nothing. The window that
// asked gets the focus back, on the control that had it.
void GiveFocusBack(QWidget* owner) {
    if (!owner || !owner->isVisible())
        return;
    QWidget* window = owner->window();
    window->raise();
    window->activateWindow();
}

int ShowBox(QMessageBox& box) {
    const int answer = box.exec();
    GiveFocusBack(box.parentWidget());
    return answer;
}

} // namespace

int QtMessageSink::Show(const QString& text, int style, const QString& title) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(IconOf(style), title.isEmpty() ? ApplicationTitle() : title, shown, QMessageBox::NoButton, parent_);
    GiveLinesTheirRoom(box, shown);
    const bool yesNo = (style & 0x0F) == MessageStyle::YesNo;
    if (!yesNo) {
        box.setStandardButtons(QMessageBox::Ok);
        ShowBox(box);
        return kAnswerOk;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton((style & MessageStyle::DefaultButton2) ? QMessageBox::No : QMessageBox::Yes);
    return ShowBox(box) == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
}

} // namespace lectoria
