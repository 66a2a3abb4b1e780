#include "ui/about_window.h"

#include "ui/accessibility.h"
#include "ui/link_label.h"
#include "ui/qt_message_sink.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>

namespace lectoria {

namespace {
// Layouts are designed in twips, 15 to the pixel.
QRect Twips(int left, int top, int width, int height) {
    const auto px = [](int twips) { return (twips + 7) / 15; };
    return {px(left), px(top), px(width), px(height)};
}

template <typename Widget, typename... Args>
Widget* Place(QWidget* parent, const char* name, QRect at, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(at);
    return widget;
}

// The dialog font where MS Sans Serif is missing: Liberation Sans has the same widths as Arial.
QFont DialogFont(qreal points) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

const QPoint kOffsetFromMainWindow{107, 33}; // 1600 and 500 twips
} // namespace

frmAbout::frmAbout(QWidget* mainWindow, const SelectionState& state, UrlOpener& opener, MessageSink& messages,
                   AboutSettings settings)
    : frmAbout(mainWindow, state, &opener, &messages, std::move(settings)) {}

frmAbout::frmAbout(QWidget* mainWindow, const SelectionState& state, UrlOpener* opener, MessageSink* messages,
                   AboutSettings settings)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      mainWindow_(mainWindow), state_(state), settings_(std::move(settings)),
      ownOpener_(opener ? nullptr : MakeDesktopUrlOpener()),
      ownMessages_(messages ? nullptr : std::make_unique<QtMessageSink>(this)), opener_(opener ? *opener : *ownOpener_),
      messages_(messages ? *messages : *ownMessages_), fetcher_(MakeHistoryFetcher(settings_.fetch)),
      check_(*this, *fetcher_, messages_, opener_, settings_.author, state.AppVersion) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("À propos de Lectoria"));
    setFixedSize(219, 134);
    setFont(DialogFont(8));
    setMouseTracking(true);
    BuildControls();
    NameAboutWindowControls(this);

    // Load: beside the main window's outer corner, wherever that puts it on the screen.
    if (mainWindow_) {
        setWindowIcon(mainWindow_->windowIcon());
        move(mainWindow_->frameGeometry().topLeft() + kOffsetFromMainWindow);
        connect(mainWindow_, &QObject::destroyed, this, &QObject::deleteLater);
    }
    lbl_name_->setText(QStringLiteral("Lectoria v") + state_.AppVersion);
    cmdOK_->setFocus();
}

frmAbout::~frmAbout() {
    check_.Abandon();
    EnableMainWindow();
}

void frmAbout::BuildControls() {
    cmdOK_ = Place<QPushButton>(this, "cmdOK", Twips(2400, 1320, 780, 377), QStringLiteral("OK"));
    cmdOK_->setFont(DialogFont(9.75));
    cmdOK_->setDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, &QWidget::close);

    lbl_name_ = Place<QLabel>(this, "lbl_name", Twips(120, 120, 2955, 360));
    lbl_name_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont nameFont(QStringLiteral("Comic Neue"));
    nameFont.setPointSizeF(14.25);
    nameFont.setItalic(true);
    nameFont.setWeight(QFont::Normal);
    lbl_name_->setFont(nameFont);
    QPalette black = lbl_name_->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lbl_name_->setPalette(black);

    QFont linkFont = DialogFont(9.75);
    linkFont.setUnderline(true);
    lbl_site_ = Place<LinkLabel>(this, "lbl_site", Twips(960, 600, 1455, 255), QStringLiteral("Mon site web"));
    lbl_site_->setToolTip(settings_.author.AuthorShortAddress);
    lbl_email_ = Place<LinkLabel>(this, "lbl_email", Twips(600, 960, 2175, 255), QStringLiteral("M'envoyer un e-mail"));
    lbl_email_->setToolTip(QStringLiteral("Cliquez ici pour m'envoyer un e-mail à propos de ce logiciel"));
    for (LinkLabel* link : {lbl_site_, lbl_email_}) {
        link->setFont(linkFont);
        connect(link, &LinkLabel::hovered, link, [link] { link->SetEmphasised(true); });
    }
    connect(lbl_site_, &LinkLabel::clicked, this, [this] { opener_.Open(AuthorWebPageUrl(settings_.author)); });
    connect(lbl_email_, &LinkLabel::clicked, this,
            [this] { opener_.Open(AuthorMailUrl(settings_.author, state_.AppVersion)); });

    cmdUpdate_ =
        Place<QPushButton>(this, "cmdUpdate", Twips(117, 1326, 2023, 377), QStringLiteral("Vérifier nouvelle version"));
    cmdUpdate_->setToolTip(QStringLiteral("Vérifier la disponibilité d'une nouvelle version par internet"));
    connect(cmdUpdate_, &QPushButton::clicked, this, &frmAbout::OnUpdateClicked);

    // Both reach past the client area and are clipped there, as designed.
    ProgressBar1_ = Place<QProgressBar>(this, "ProgressBar1", Twips(1200, 1770, 2130, 240));
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);
    ProgressBar1_->setTextVisible(false);
    ProgressBar1_->hide();
    lbl_progress_ = Place<QLabel>(this, "lbl_progress", Twips(120, 1800, 975, 255));
    lbl_progress_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lbl_progress_->hide();

    // Enter clicks the button that has the focus; OK has it first.
    for (QPushButton* button : {cmdOK_, cmdUpdate_})
        button->setAutoDefault(true);
    setTabOrder(cmdOK_, cmdUpdate_);
}

frmAbout* frmAbout::Open(QWidget* mainWindow, const SelectionState& state) {
    AboutSettings settings;
    settings.author = LoadConfiguredAuthorSettings();
    return Show(new frmAbout(mainWindow, state, nullptr, nullptr, std::move(settings)), mainWindow);
}

frmAbout* frmAbout::Open(QWidget* mainWindow, const SelectionState& state, UrlOpener& opener, MessageSink& messages,
                         AboutSettings settings) {
    return Show(new frmAbout(mainWindow, state, &opener, &messages, std::move(settings)), mainWindow);
}

frmAbout* frmAbout::Show(frmAbout* about, QWidget* mainWindow) {
    about->winId(); // a native window now, to stay above the main window
    if (mainWindow && about->windowHandle() && mainWindow->window()->windowHandle())
        about->windowHandle()->setTransientParent(mainWindow->window()->windowHandle());
    about->show();
    if (mainWindow) {
        about->returnFocusTo_ = mainWindow->focusWidget();
        mainWindow->setEnabled(false);
    }
    // Not every window manager activates a new window by itself: without this, Enter and Escape
    // would reach nobody until the user clicks into the About window.
    about->raise();
    about->activateWindow();
    about->cmdOK_->setFocus(Qt::ActiveWindowFocusReason);
    return about;
}

void frmAbout::mouseMoveEvent(QMouseEvent* event) {
    // Only moves over the bare surface arrive here: a control without mouse tracking
    // swallows the moves over it.
    lbl_site_->SetEmphasised(false);
    lbl_email_->SetEmphasised(false);
    QWidget::mouseMoveEvent(event);
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // OK is also the window's cancel button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmAbout::closeEvent(QCloseEvent* event) {
    event->accept();
    if (check_.IsRunning()) {
        // Closed from inside the check's wait: stop it, and delete the window only once the
        // check has returned to the click handler, not under its feet.
        check_.Abandon();
        setAttribute(Qt::WA_DeleteOnClose, false);
        deleteWhenCheckEnds_ = true;
    }
    EnableMainWindow();
}

void frmAbout::OnUpdateClicked() {
    const bool hadFocus = cmdUpdate_->hasFocus();
    cmdUpdate_->setEnabled(false);
    check_.Run();
    if (deleteWhenCheckEnds_) {
        deleteLater();
        return;
    }
    cmdUpdate_->setEnabled(true);
    // Disabling the button passed the focus on to OK: the keyboard user finds it back on the
    // button they pressed, and the screen reader says so once the message box has closed.
    if (hadFocus)
        cmdUpdate_->setFocus(Qt::OtherFocusReason);
}

void frmAbout::EnableMainWindow() {
    if (!mainWindow_ || mainWindow_->isEnabled())
        return;
    mainWindow_->setEnabled(true);
    // Disabling the main window took the focus off its controls; without this it would come back
    // on the first of them, not on the button the user pressed.
    if (returnFocusTo_ && returnFocusTo_->window() == mainWindow_->window()) {
        mainWindow_->activateWindow();
        returnFocusTo_->setFocus(Qt::OtherFocusReason);
    }
}

void frmAbout::ShowProgressText(const QString& text) {
    lbl_progress_->setText(text);
    lbl_progress_->show();
}

void frmAbout::ShowProgressValue(int value) {
    ProgressBar1_->setValue(value);
    ProgressBar1_->show();
}

void frmAbout::SetBusyCursor(bool busy) {
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void frmAbout::ProcessPendingEvents() {
    QCoreApplication::processEvents();
}

} // namespace lectoria
