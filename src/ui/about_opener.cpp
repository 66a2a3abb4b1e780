#include "ui/about_opener.h"

#include "rules/version.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QWindow>

namespace lectoria {

void OpenAboutWindow(QWidget* mainWindow, const SelectionState& state) {
    // Not a child of the main window: a disabled parent would disable it too.
    auto* about = new QDialog(nullptr, Qt::Tool | Qt::WindowCloseButtonHint);
    about->setObjectName(QStringLiteral("frmAbout"));
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setWindowTitle(QStringLiteral("À propos de Lectoria"));
    auto* layout = new QVBoxLayout(about);
    layout->addWidget(new QLabel(QStringLiteral("Lectoria v") + state.AppVersion, about));
    about->setFixedSize(219, 134);
    about->move(mainWindow->frameGeometry().topLeft() + QPoint(107, 33));
    QPointer<QWidget> owner(mainWindow);
    QObject::connect(about, &QObject::destroyed, [owner] {
        if (owner)
            owner->setEnabled(true);
    });
    about->winId();
    if (about->windowHandle() && mainWindow->windowHandle())
        about->windowHandle()->setTransientParent(mainWindow->windowHandle());
    about->show();
    mainWindow->setEnabled(false);
}

} // namespace lectoria
