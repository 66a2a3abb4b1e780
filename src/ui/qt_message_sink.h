#pragma once

#include "rules/ports.h"

class QWidget;

namespace lectoria {

// Message boxes on QMessageBox, modal to their parent, from the program's style codes:
// icon 16/48/64, buttons 0 (OK) or 4 (Yes, No), 256 makes the second button the default.
class QtMessageSink final : public MessageSink {
public:
    explicit QtMessageSink(QWidget* parent) : parent_(parent) {}
    int Show(const QString& text, int style, const QString& title) override;

private:
    QWidget* parent_;
};

} // namespace lectoria
