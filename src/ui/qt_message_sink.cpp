#include "ui/qt_message_sink.h"

#include "rules/version.h"

#include <QMessageBox>

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
} // namespace

int QtMessageSink::Show(const QString& text, int style, const QString& title) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(IconOf(style), title.isEmpty() ? ApplicationTitle() : title, shown, QMessageBox::NoButton, parent_);
    const bool yesNo = (style & 0x0F) == MessageStyle::YesNo;
    if (!yesNo) {
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return kAnswerOk;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton((style & MessageStyle::DefaultButton2) ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
}

} // namespace lectoria
