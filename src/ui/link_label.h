#pragma once

#include <QLabel>

namespace lectoria {

// A label used as a link: blue, underlined, with the hand pointer. It reports every mouse
// move over it (tracking is on) and a click, a left press and release over it. The keyboard
// reaches it with Tab (a click does not move the focus), and Enter or Space follow it like a
// click; it draws the focus frame around its text while it has the focus.
class LinkLabel final : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QWidget* parent);
    void SetEmphasised(bool bold);
    bool IsEmphasised() const { return font().bold(); }
    void Activate() { emit clicked(); } // the keyboard's and assistive technology's click

signals:
    void hovered();
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool pressed_ = false;
};

} // namespace lectoria
