#include "transfer/http_transfer_library.h"

#include "transfer/connection_probe.h"
#include "transfer/progress_view.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTimer>

namespace lectoria {

namespace {

const QByteArray kPdfStart("%PDF-");
const QByteArray kPdfEnd("%%EOF");
constexpr qint64 kTailSize = 1024;

struct Outcome {
    int result = TransferResult::Downloaded;
    int httpStatus = 0;
    bool transient = false;
    int retryAfterSeconds = -1;
};

bool IsTransientStatus(int status) {
    return status == 408 || status == 429 || status == 502 || status == 503 || status == 504;
}

bool IsTransientNetworkError(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

// The Content-Length of the final answer. After redirects Qt may keep an earlier hop's header
// beside it, so the last one given wins.
qint64 AnnouncedLength(const QNetworkReply& reply) {
    qint64 length = -1;
    for (const auto& [name, value] : reply.rawHeaderPairs()) {
        bool ok = false;
        const qint64 parsed = value.trimmed().toLongLong(&ok);
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0 && ok && parsed >= 0)
            length = parsed;
    }
    return length;
}

// One transfer of one address into one file, with its retries.
class Session {
public:
    Session(const TransferTuning& tuning, ProgressView& view) : tuning_(tuning), view_(view) {
        view_.onCancel = [this] { Cancel(); };
    }

    Outcome Run(const QUrl& url, const QString& target) {
        Outcome outcome;
        for (int attempt = 0;; ++attempt) {
            outcome = Attempt(url, target);
            if (!outcome.transient || cancelled_ || attempt >= tuning_.maxRetries)
                return outcome;
            if (!Pause(attempt, outcome.retryAfterSeconds))
                return {TransferResult::Cancelled};
        }
    }

private:
    void Cancel() {
        cancelled_ = true;
        if (reply_)
            reply_->abort();
        if (pause_)
            pause_->quit();
    }

    // Waits before the next try, telling the user; false when the user cancelled meanwhile.
    bool Pause(int attempt, int retryAfterSeconds) {
        qint64 ms = tuning_.firstRetryPause.count() << attempt;
        if (retryAfterSeconds >= 0 && retryAfterSeconds <= 60)
            ms = qMin<qint64>(retryAfterSeconds * 1000LL, qMax<qint64>(ms, retryAfterSeconds * 1000LL));
        view_.SetStatus(QStringLiteral("Nouvelle tentative dans %1 s…").arg(qMax<qint64>(1, (ms + 999) / 1000)));
        QEventLoop loop;
        pause_ = &loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        pause_ = nullptr;
        view_.SetStatus(QString());
        return !cancelled_;
    }

    Outcome Attempt(const QUrl& url, const QString& target) {
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly))
            return {OpenFailure(target)};

        QNetworkRequest request(url);
        request.setRawHeader("Accept-Encoding", "identity");
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setMaximumRedirectsAllowed(tuning_.maxRedirects);
        request.setTransferTimeout(static_cast<int>(tuning_.stallTimeout.count()));
        request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Lectoria/1.1.8"));

        QNetworkReply* reply = network_.get(request);
        reply_ = reply;
        Outcome outcome;
        qint64 received = 0;
        qint64 total = -1;
        bool headerChecked = false;
        QByteArray head;
        QByteArray tail;
        QElapsedTimer clock;
        clock.start();
        QElapsedTimer lastShown;
        lastShown.start();

        const auto fail = [&](int result) {
            if (outcome.result == TransferResult::Downloaded)
                outcome.result = result;
            reply->abort();
        };
        const auto checkHeaders = [&] {
            headerChecked = true;
            outcome.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (outcome.httpStatus < 200 || outcome.httpStatus >= 300)
                return; // a redirect hop or an error page: its length says nothing of the edition
            total = AnnouncedLength(*reply);
            if (total > 0) {
                const QStorageInfo volume(QFileInfo(target).absolutePath());
                if (volume.isValid() && volume.bytesAvailable() >= 0 && volume.bytesAvailable() < total)
                    fail(TransferResult::DiskFull); // refused before writing anything
            }
        };
        // Each redirect hop brings its own headers; the last ones describe the body.
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, checkHeaders);
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
            if (!headerChecked)
                checkHeaders();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (status < 200 || status >= 300 || outcome.result != TransferResult::Downloaded)
                return; // an error page: read and dropped below
            const QByteArray chunk = reply->readAll();
            if (head.size() < kPdfStart.size()) {
                head += chunk.left(kPdfStart.size() - head.size());
                if (!kPdfStart.startsWith(head.left(kPdfStart.size())) && !head.startsWith(kPdfStart))
                    return fail(TransferResult::NotPdf);
            }
            if (out.write(chunk) != chunk.size())
                return fail(out.error() == QFileDevice::ResourceError ? TransferResult::DiskFull
                                                                      : TransferResult::WriteError);
            received += chunk.size();
            tail = (tail + chunk).right(kTailSize);
            if (lastShown.elapsed() >= 100) {
                lastShown.restart();
                view_.SetProgress(received, total, received * 1000.0 / qMax<qint64>(1, clock.elapsed()));
            }
        });
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        reply_ = nullptr;

        outcome.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QNetworkReply::NetworkError error = reply->error();
        if (outcome.result == TransferResult::Downloaded && reply->bytesAvailable() > 0 &&
            error == QNetworkReply::NoError) {
            const QByteArray rest = reply->readAll(); // finished can arrive with unread data
            if (out.write(rest) != rest.size())
                outcome.result = TransferResult::WriteError;
            received += rest.size();
            tail = (tail + rest).right(kTailSize);
            if (head.size() < kPdfStart.size())
                head += rest.left(kPdfStart.size() - head.size());
        }
        const QByteArray retryAfter = reply->rawHeader("Retry-After");
        reply->deleteLater();

        if (outcome.result == TransferResult::Downloaded)
            Classify(outcome, error, received, total, head, tail, retryAfter);
        if (outcome.result == TransferResult::Downloaded) {
            view_.SetProgress(received, total, received * 1000.0 / qMax<qint64>(1, clock.elapsed()));
            if (!out.commit())
                outcome.result = TransferResult::WriteError;
        } else {
            out.cancelWriting();
        }
        return outcome;
    }

    void Classify(Outcome& outcome, QNetworkReply::NetworkError error, qint64 received, qint64 total,
                  const QByteArray& head, const QByteArray& tail, const QByteArray& retryAfter) {
        const int status = outcome.httpStatus;
        if (cancelled_) {
            outcome.result = TransferResult::Cancelled;
            return;
        }
        if (error == QNetworkReply::InsecureRedirectError || error == QNetworkReply::ProtocolUnknownError) {
            outcome.result = TransferResult::BadAddress; // https to http, or a redirect to file:// or ftp://
            return;
        }
        if (status >= 300 || (status != 0 && status < 200)) {
            outcome.result = (status == 404 || status == 410) ? TransferResult::NotFound : TransferResult::HttpError;
            outcome.transient = IsTransientStatus(status);
            bool ok = false;
            const int seconds = retryAfter.trimmed().toInt(&ok);
            outcome.retryAfterSeconds = ok ? seconds : -1;
            return;
        }
        switch (error) {
        case QNetworkReply::NoError:
            break;
        case QNetworkReply::OperationCanceledError: // only the transfer time-out aborts besides the user
        case QNetworkReply::TimeoutError:
            outcome.result = TransferResult::TimedOut;
            outcome.transient = true;
            return;
        case QNetworkReply::InsecureRedirectError:
        case QNetworkReply::ProtocolUnknownError:
        case QNetworkReply::ProtocolInvalidOperationError:
            outcome.result = TransferResult::BadAddress;
            return;
        case QNetworkReply::TooManyRedirectsError:
            outcome.result = TransferResult::HttpError;
            return;
        default:
            outcome.result = received > 0 ? TransferResult::Truncated : TransferResult::NetworkError;
            outcome.transient = IsTransientNetworkError(error);
            return;
        }
        if (total >= 0 && received != total) {
            outcome.result = TransferResult::Truncated;
            outcome.transient = received < total;
        } else if (!head.startsWith(kPdfStart)) {
            outcome.result = TransferResult::NotPdf;
        } else if (total < 0 && !tail.contains(kPdfEnd)) {
            outcome.result = TransferResult::Truncated;
        }
    }

    static int OpenFailure(const QString& target) {
        const QFileInfo file(target);
        const QFileInfo folder(file.absolutePath());
        if (!folder.isDir())
            return TransferResult::WriteError;
        if (file.isDir())
            return TransferResult::WriteError;
        if (!folder.isWritable())
            return TransferResult::ReadOnlyFolder;
        return TransferResult::WriteError;
    }

    const TransferTuning& tuning_;
    ProgressView& view_;
    QNetworkAccessManager network_;
    QNetworkReply* reply_ = nullptr;
    QEventLoop* pause_ = nullptr;
    bool cancelled_ = false;
};

} // namespace

HttpTransferLibrary::HttpTransferLibrary(TransferTuning tuning) : tuning_(tuning) {}

int HttpTransferLibrary::IsConnected() {
    return ProbeConnection() ? 1 : 0;
}

void HttpTransferLibrary::SetOption(const QString& name, const QString& value) {
    if (name == QLatin1String("label"))
        label_ = value;
    else if (name == QLatin1String("description"))
        description_ = value;
}

void HttpTransferLibrary::ClearFiles() {
    lastError_.clear();
}

QString HttpTransferLibrary::DescribeFailure(int result, int httpStatus, const QString& folder) {
    const QString where = QDir::toNativeSeparators(folder);
    switch (result) {
    case TransferResult::NotFound:
        return QStringLiteral("Édition introuvable sur le serveur (erreur %1).").arg(httpStatus);
    case TransferResult::HttpError:
        return httpStatus > 0 ? QStringLiteral("Le serveur a refusé la demande (erreur %1).").arg(httpStatus)
                              : QStringLiteral("Le serveur renvoie vers trop d'adresses successives.");
    case TransferResult::NotPdf:
        return QStringLiteral("Le serveur n'a pas envoyé un fichier PDF.");
    case TransferResult::Truncated:
        return QStringLiteral("Le fichier reçu est incomplet.");
    case TransferResult::NetworkError:
        return QStringLiteral("Impossible de joindre le serveur.");
    case TransferResult::TimedOut:
        return QStringLiteral("Le serveur ne répond plus.");
    case TransferResult::Cancelled:
        return QStringLiteral("Téléchargement annulé.");
    case TransferResult::DiskFull:
        return QStringLiteral("Plus de place sur le disque.");
    case TransferResult::ReadOnlyFolder:
        return QStringLiteral("Le dossier %1 est en lecture seule.").arg(where);
    case TransferResult::WriteError:
        return QStringLiteral("Impossible d'écrire le fichier dans le dossier %1.").arg(where);
    case TransferResult::BadAddress:
        return QStringLiteral("Adresse refusée : seules les adresses http:// et https:// sont suivies.");
    default:
        return QStringLiteral("Échec du téléchargement.");
    }
}

int HttpTransferLibrary::Download(QWidget* owner, const QString& url, const QString& file) {
    lastError_.clear();
    const QUrl address(url, QUrl::StrictMode);
    const auto view = MakeProgressView(owner);
    view->Start(label_, description_);
    Outcome outcome;
    if (!address.isValid() || (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https")))
        outcome.result = TransferResult::BadAddress;
    else
        outcome = Session(tuning_, *view).Run(address, file);
    if (outcome.result != TransferResult::Downloaded) {
        lastError_ = DescribeFailure(outcome.result, outcome.httpStatus, QFileInfo(file).absolutePath());
        view->ShowFailure(lastError_, tuning_.waitForCloseOnFailure);
    }
    view->Finish();
    return outcome.result;
}

} // namespace lectoria
