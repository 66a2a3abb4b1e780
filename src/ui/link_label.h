#pragma once

#include <QLabel>

namespace lectoria {

// A label used as a link: blue, underlined, with the hand pointer. It reports every mouse
// move over it (tracking is on) and a click, a left press and release over it.
class LinkLabel final : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QWidget* parent);
    void SetEmphasised(bool bold);
    bool IsEmphasised() const { return font().bold(); }

signals:
    void hovered();
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

} // namespace lectoria
