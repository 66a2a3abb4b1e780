#include "transfer/progress_view.h"

#include "transfer/progress_accessibility.h"

#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <unistd.h>

namespace lectoria {

QString FormatMegabytes(qint64 bytes) {
    return QLocale(QLocale::French).toString(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1) +
           QStringLiteral(" Mo");
}

QString FormatSize(qint64 bytes) {
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 ko").arg((bytes + 1023) / 1024);
    return FormatMegabytes(bytes);
}

QString BreakablePaths(const QString& text) {
    // A long folder path has no space to wrap at: let the line break after each separator
    // instead of cutting a name in two at the window's edge.
    QString breakable = text;
    for (const QChar separator : {QLatin1Char('/'), QLatin1Char('\\')})
        breakable.replace(separator, QString(separator) + QChar(0x200B));
    return breakable;
}

namespace {

QString TimeLeft(qint64 received, qint64 total, double speed) {
    if (total <= 0 || speed <= 0 || received >= total)
        return {};
    const qint64 seconds = static_cast<qint64>((total - received) / speed) + 1;
    if (seconds < 60)
        return QStringLiteral("%1 s restantes").arg(seconds);
    return QStringLiteral("%1 min %2 s restantes").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString Figures(qint64 received, qint64 total, double speed) {
    QString text = FormatSize(received);
    if (total >= 0)
        text += QStringLiteral(" sur ") + FormatSize(total);
    if (speed > 0)
        text += QStringLiteral(" — ") + FormatSize(static_cast<qint64>(speed)) + QStringLiteral("/s");
    const QString left = TimeLeft(received, total, speed);
    if (!left.isEmpty())
        text += QStringLiteral(" — ") + left;
    return text;
}

class ProgressDialog final : public QDialog {
public:
    explicit ProgressDialog(QWidget* owner) : QDialog(owner) {
        setObjectName(QStringLiteral("frmTransfert"));
        setWindowTitle(QStringLiteral("Téléchargement"));
        setWindowModality(Qt::WindowModal);
        setMinimumWidth(380);
        label_ = new QLabel(this);
        label_->setObjectName(QStringLiteral("lbl_Etiquette"));
        QFont bold = label_->font();
        bold.setBold(true);
        label_->setFont(bold);
        description_ = new QLabel(this);
        description_->setObjectName(QStringLiteral("lbl_Description"));
        bar_ = new QProgressBar(this);
        bar_->setObjectName(QStringLiteral("barre_Progression"));
        figures_ = new QLabel(this);
        figures_->setObjectName(QStringLiteral("lbl_Chiffres"));
        status_ = new QLabel(this);
        status_->setObjectName(QStringLiteral("lbl_Etat"));
        status_->setWordWrap(true);
        button_ = new QPushButton(QStringLiteral("Annuler"), this);
        button_->setObjectName(QStringLiteral("cmd_Annuler"));
        button_->setAutoDefault(false);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(button_);
        auto* layout = new QVBoxLayout(this);
        for (QWidget* widget :
             {static_cast<QWidget*>(label_), static_cast<QWidget*>(description_), static_cast<QWidget*>(bar_),
              static_cast<QWidget*>(figures_), static_cast<QWidget*>(status_)})
            layout->addWidget(widget);
        layout->addLayout(buttons);
        NameProgressWindowControls(this);
        connect(button_, &QPushButton::clicked, this, [this] { RequestStop(); });
    }

    std::function<void()> onCancel;
    QLabel* label_;
    QLabel* description_;
    QProgressBar* bar_;
    QLabel* figures_;
    QLabel* status_;
    QPushButton* button_;
    bool failed = false;

    // A word-wrapped label needs more height once its text is longer; a window does not grow
    // for that by itself, and the text would be clipped at its top and bottom.
    void FitHeight() {
        layout()->activate();
        const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width()) : sizeHint().height();
        if (needed > height())
            resize(width(), needed);
    }

    void RequestStop() {
        if (failed) {
            done(QDialog::Rejected);
            return;
        }
        if (onCancel)
            onCancel();
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore(); // the transfer decides when the window goes; closing means cancel
        RequestStop();
    }
    void reject() override { RequestStop(); } // Escape
};

class WindowProgress final : public ProgressView {
public:
    explicit WindowProgress(QWidget* owner) : dialog_(owner) {
        dialog_.onCancel = [this] {
            if (onCancel)
                onCancel();
        };
    }
    void Start(const QString& label, const QString& description) override {
        dialog_.label_->setText(label);
        dialog_.description_->setText(description);
        dialog_.bar_->setRange(0, 0);
        dialog_.figures_->clear();
        dialog_.show();
    }
    void SetStatus(const QString& text) override {
        dialog_.status_->setText(BreakablePaths(text));
        dialog_.FitHeight();
    }
    void SetProgress(qint64 received, qint64 total, double speed) override {
        received_ = received;
        total_ = total;
        if (total > 0) {
            dialog_.bar_->setRange(0, 1000);
            dialog_.bar_->setValue(static_cast<int>(qMin<qint64>(1000, received * 1000 / total)));
        } else {
            dialog_.bar_->setRange(0, 0);
        }
        dialog_.figures_->setText(Figures(received, total, speed));
    }
    void ShowFailure(const QString& heading, const QString& text, bool waitForClose) override {
        dialog_.failed = true;
        dialog_.label_->setText(heading);
        // Nothing is coming any more: no speed, no time left.
        if (!dialog_.figures_->text().isEmpty())
            dialog_.figures_->setText(Figures(received_, total_, 0));
        dialog_.bar_->setRange(0, 1);
        dialog_.bar_->setValue(0);
        dialog_.button_->setText(QStringLiteral("Fermer"));
        dialog_.button_->setObjectName(QStringLiteral("cmd_Fermer"));
        dialog_.button_->setDefault(true); // Enter closes, as Escape does
        dialog_.button_->setFocus();
        SetStatus(text);
        if (!waitForClose)
            return;
        QEventLoop loop;
        QObject::connect(&dialog_, &QDialog::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void Finish() override { dialog_.hide(); }

private:
    ProgressDialog dialog_;
    qint64 received_ = 0;
    qint64 total_ = -1;
};

// One line on stderr, rewritten in place; nothing at all when stderr is not a terminal.
class TerminalProgress final : public ProgressView {
public:
    TerminalProgress() : active_(isatty(fileno(stderr)) != 0), err_(stderr) {}
    void Start(const QString&, const QString& description) override { description_ = description; }
    void SetStatus(const QString& text) override { Line(text); }
    void SetProgress(qint64 received, qint64 total, double speed) override { Line(Figures(received, total, speed)); }
    void ShowFailure(const QString&, const QString&, bool) override { Finish(); }
    void Finish() override {
        if (active_ && written_)
            err_ << '\n' << Qt::flush;
        written_ = false;
    }

private:
    void Line(const QString& text) {
        if (!active_)
            return;
        err_ << "\r\x1b[K" << description_ << QStringLiteral(" : ") << text << Qt::flush;
        written_ = true;
    }
    bool active_;
    bool written_ = false;
    QString description_;
    QTextStream err_;
};

class SilentProgress final : public ProgressView {
public:
    void Start(const QString&, const QString&) override {}
    void SetStatus(const QString&) override {}
    void SetProgress(qint64, qint64, double) override {}
    void ShowFailure(const QString&, const QString&, bool) override {}
    void Finish() override {}
};

} // namespace

std::unique_ptr<ProgressView> MakeSilentProgressView() {
    return std::make_unique<SilentProgress>();
}

std::unique_ptr<ProgressView> MakeProgressView(QWidget* owner) {
    if (owner)
        return std::make_unique<WindowProgress>(owner);
    return std::make_unique<TerminalProgress>();
}

} // namespace lectoria
