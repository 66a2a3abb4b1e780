#include "ui/link_label.h"

#include "ui/hand_cursor.h"

#include <QMouseEvent>

namespace lectoria {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setMouseTracking(true);
    setCursor(HandCursor());
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(colours);
}

void LinkLabel::SetEmphasised(bool bold) {
    QFont f = font();
    if (f.bold() == bold)
        return;
    f.setBold(bold);
    setFont(f);
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit hovered();
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
    pressed_ = event->button() == Qt::LeftButton;
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click)
        emit clicked();
}

} // namespace lectoria
