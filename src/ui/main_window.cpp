#include "ui/main_window.h"

#include "download/folder_lock.h"
#include "rules/date_check.h"
#include "rules/editions.h"
#include "rules/version.h"
#include "ui/about_window.h"
#include "ui/accessibility.h"
#include "ui/logos.h"
#include "ui/qt_message_sink.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace lectoria {

namespace {

// Positions are designed in twips; at 96 dpi a pixel is 15 twips.
QRect Twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

const QString kFolderTip = QStringLiteral("Choisir le dossier où seront enregistrés les fichiers téléchargés");

QFont DialogFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(8.25);
    return font;
}

template <typename Widget> Widget* Place(QWidget* parent, const char* name, QRect where) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(where);
    return widget;
}

// Waiting for the lock of a folder where another run writes can take seconds: the pointer
// says that the window is busy meanwhile.
class WaitCursorLocks final : public FolderLocks {
public:
    explicit WaitCursorLocks(FolderLocks& inner) : inner_(inner) {}
    std::unique_ptr<FolderLockHold> Take(const QString& folder, std::chrono::milliseconds wait) override {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        auto hold = inner_.Take(folder, wait);
        QApplication::restoreOverrideCursor();
        return hold;
    }

private:
    FolderLocks& inner_;
};

// The folder's path on one line of a wrapped message: no break at its spaces or separators.
QString KeepPathWhole(QString text, const QString& path) {
    QString glued = path;
    glued.replace(QLatin1Char(' '), QChar(0x00A0));
    for (const QChar separator : {QLatin1Char('/'), QLatin1Char('\\')})
        glued.replace(separator, QString(separator) + QChar(0x2060)); // word joiner
    return text.replace(path, glued);
}

} // namespace

frmLctr::frmLctr(SelectionState& state, MainWindowServices services)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      state_(state), services_(std::move(services)) {
    setObjectName(QStringLiteral("frmLctr"));
    if (services_.messages) {
        messages_ = services_.messages;
    } else {
        ownMessages_ = std::make_unique<QtMessageSink>(this);
        messages_ = ownMessages_.get();
    }
    setWindowIcon(ApplicationIcon());
    setFont(DialogFont());
    setFixedSize(436, 198); // no maximize button, whatever the window manager
    BuildControls();
    NameMainWindowControls(this);
    Wire();
    Load();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

frmLctr::~frmLctr() = default;

void frmLctr::BuildControls() {
    lbl_Journal_ = Place<QLabel>(this, "lbl_Journal", Twips(1680, 120, 1335, 255));
    lbl_Journal_->setText(QStringLiteral("Choisir le journal :"));
    lst_Ville_ = Place<CityList>(this, "lst_Ville", Twips(120, 480, 1215, 2010));
    lst_Ville_->addItems(CityNames());
    lbl_Ville_ = Place<QLabel>(this, "lbl_Ville", Twips(120, 120, 1215, 255));
    lbl_Ville_->setText(QStringLiteral("Choisir la ville :"));
    Calendar1_ = Place<MonthCalendar>(this, "Calendar1", Twips(3480, 120, 3015, 2295));
    Calendar1_->setToolTip(QStringLiteral("Sélectionner le jour"));
    cmd_DL_ = Place<QPushButton>(this, "cmd_DL", Twips(1680, 1560, 1335, 495));
    cmd_DL_->setText(QStringLiteral("Télécharger"));
    opt_20m_ = Place<QRadioButton>(this, "opt_20m", Twips(1680, 600, 1095, 195));
    opt_20m_->setText(kTwentyMinutes);
    opt_metro_ = Place<QRadioButton>(this, "opt_metro", Twips(1680, 1200, 735, 195));
    opt_metro_->setText(kMetro);
    Picture1_ = Place<QLabel>(this, "Picture1", Twips(2880, 480, 495, 495));
    Picture1_->setPixmap(TwentyMinutesLogo(devicePixelRatioF()));
    Picture1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture2_ = Place<QLabel>(this, "Picture2", Twips(2640, 1200, 735, 225));
    Picture2_->setPixmap(MetroLogo(devicePixelRatioF()));
    Picture2_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmd_Open_ = Place<QPushButton>(this, "cmd_Open", Twips(2520, 2520, 975, 375));
    cmd_Open_->setText(QStringLiteral("Dossier"));
    cmd_Open_->setToolTip(kFolderTip);
    txt_ChemFich_ = Place<QLineEdit>(this, "txt_ChemFich", Twips(3600, 2520, 2775, 375));
    txt_ChemFich_->setToolTip(kFolderTip);
    cmdAbout_ = Place<QPushButton>(this, "cmdAbout", Twips(240, 2520, 975, 375));
    cmdAbout_->setText(QStringLiteral("A propos"));
    for (QPushButton* button : {cmd_DL_, cmd_Open_, cmdAbout_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->installEventFilter(this); // Enter presses the focused button, as Space does
    }
    // Keyboard order: the list first, then as the controls are listed; labels take no focus.
    QWidget* order[] = {lst_Ville_, Calendar1_, cmd_DL_, opt_20m_, opt_metro_, cmd_Open_, txt_ChemFich_, cmdAbout_};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void frmLctr::Wire() {
    connect(lst_Ville_, &QListWidget::itemSelectionChanged, this, [this] { OnCityClick(); });
    connect(opt_20m_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            SelectPaper(state_, opt_20m_->text());
    });
    connect(opt_metro_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            SelectPaper(state_, opt_metro_->text());
    });
    connect(Calendar1_, &MonthCalendar::dayChosen, this, [this] { OnDayChosen(); });
    connect(cmd_DL_, &QPushButton::clicked, this, [this] { OnDownload(); });
    connect(cmd_Open_, &QPushButton::clicked, this, [this] { OnChooseFolder(); });
    connect(txt_ChemFich_, &QLineEdit::textChanged, this, [this](const QString& text) { OnFolderChange(text); });
    connect(cmdAbout_, &QPushButton::clicked, this, [this] {
        cmdAbout_->setFocus(Qt::OtherFocusReason); // where the About window gives the focus back
        frmAbout::Open(this, state_);
    });
}

// The start-up sequence.
void frmLctr::Load() {
    setWindowTitle(NameAndVersion());
    state_.AppVersion = VersionText();
    state_.DateRejected = 0;
    LoadSettings(state_, services_.settings, *this, *this);
    SelectCity(state_, CurrentText(), CurrentRow());
    opt_20m_->setChecked(true);
    Calendar1_->SetValue(services_.clock.Today());
    RefreshDateParts(state_, Calendar1_->Day(), Calendar1_->Month(), Calendar1_->Year());
}

void frmLctr::closeEvent(QCloseEvent* event) {
    // Disabled means the About window is open over this one: closing now would end the program
    // under it. The title-bar button, Alt+F4 and a window manager's request all land here.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool frmLctr::eventFilter(QObject* watched, QEvent* event) {
    // No button is a default one (Enter in the folder box must not start a download), so a
    // button only takes Enter when it has the focus itself.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmLctr::OnCityClick() {
    SelectCity(state_, CurrentText(), CurrentRow());
    StoreCityIndex(state_, services_.settings);
}

void frmLctr::OnFolderChange(const QString& text) {
    state_.SaveFolder = text;
    StoreSaveFolder(state_, services_.settings);
}

void frmLctr::OnDayChosen() {
    CheckSelectedDate(state_, *Calendar1_, services_.clock, *messages_);
    RefreshDateParts(state_, Calendar1_->Day(), Calendar1_->Month(), Calendar1_->Year());
}

void frmLctr::OnDownload() {
    // The same folder lock as lectoria-cli, so a timer run and this window never write one file at once.
    WaitCursorLocks locks(services_.locks ? *services_.locks : SystemFolderLocks());
    FolderLockedTransfer transfer(services_.transfer, locks, kWindowLockWait, [this](const QString& text) {
        const QString folder = QDir::toNativeSeparators(QFileInfo(state_.TargetFile).absolutePath());
        messages_->Show(KeepPathWhole(text, folder), MessageStyle::Exclamation, QStringLiteral("Erreur"));
    });
    DownloadContext context{this,  *Calendar1_, services_.clock,   *messages_, services_.drives, services_.files,
                            *this, transfer,    services_.archives};
    DownloadSelectedEdition(state_, context);
}

void frmLctr::OnChooseFolder() {
    FolderChoiceContext context{this, services_.picker, services_.drives, *messages_, *this, services_.settings};
    ChooseSaveFolder(state_, context);
}

bool frmLctr::SelectRow(int row) {
    if (row < 0 || row >= lst_Ville_->count())
        return false;
    lst_Ville_->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    return true;
}

QString frmLctr::CurrentText() const {
    return lst_Ville_->SelectedText();
}

int frmLctr::CurrentRow() const {
    return lst_Ville_->SelectedRow();
}

QString frmLctr::Text() const {
    return txt_ChemFich_->text();
}

void frmLctr::SetText(const QString& text) {
    txt_ChemFich_->setText(text);
}

} // namespace lectoria
