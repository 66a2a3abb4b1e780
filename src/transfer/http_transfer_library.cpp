#include "transfer/http_transfer_library.h"

#include "transfer/connection_probe.h"
#include "transfer/progress_view.h"
#include "transfer/response_check.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>
#if QT_CONFIG(ssl)
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#endif

#include <mutex>
#include <optional>
#include <utility>

namespace lectoria {

#if QT_CONFIG(ssl)
struct SslTrust {
    std::optional<QSslConfiguration> configuration; // none: Qt's defaults
};
#else
struct SslTrust {};
#endif

namespace {

// What Qt may hold for us between two reads; the socket waits beyond that, so memory stays flat.
constexpr qint64 kReadBufferSize = 1024 * 1024;
constexpr qint64 kLongestRetryAfter = 60;

struct Outcome {
    Outcome() = default;
    explicit Outcome(int failure) : result(failure) {}
    int result = TransferResult::Downloaded;
    int httpStatus = 0;
    bool transient = false;
    bool silent = false; // the server sent nothing for a whole response delay
    std::optional<qint64> retryAfterSeconds;
    QString detail; // the cause's own sentence, when the result alone does not tell it
};

bool IsProxyError(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::UnknownProxyError:
        return true;
    default:
        return false;
    }
}

// The proxy a request for `url` goes through, if any.
std::optional<QNetworkProxy> ProxyFor(const QUrl& url) {
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    for (const QNetworkProxy& proxy : proxies)
        if (proxy.type() != QNetworkProxy::NoProxy && proxy.type() != QNetworkProxy::DefaultProxy)
            return proxy;
    return std::nullopt;
}

QString ProxySentence(QNetworkReply::NetworkError error, const QUrl& url) {
    const std::optional<QNetworkProxy> used = ProxyFor(url);
    const QString proxy = used ? used->hostName() + u':' + QString::number(used->port()) : QStringLiteral("du système");
    if (error == QNetworkReply::ProxyAuthenticationRequiredError && used && !used->user().isEmpty())
        return QStringLiteral("Le proxy %1 refuse l'identifiant ou le mot de passe donnés (erreur 407) : vérifiez-les "
                              "dans http_proxy ou https_proxy (http://nom:motdepasse@hôte:port, un caractère "
                              "spécial écrit %XX).")
            .arg(proxy);
    if (error == QNetworkReply::ProxyAuthenticationRequiredError)
        return QStringLiteral("Le proxy %1 demande un identifiant et un mot de passe (erreur 407) : indiquez-les dans "
                              "http_proxy ou https_proxy, sous la forme http://nom:motdepasse@hôte:port.")
            .arg(proxy);
    return QStringLiteral("Impossible de joindre le proxy %1 : vérifiez http_proxy, https_proxy et no_proxy, ou le "
                          "réglage du proxy du système.")
        .arg(proxy);
}

#if QT_CONFIG(ssl)
bool IsSystemStore(const QString& path);

// The PEM certificates of a file (SSL_CERT_FILE) or of a folder's files (SSL_CERT_DIR).
QList<QSslCertificate> CertificatesInFile(const QString& file) {
    return QSslCertificate::fromPath(file, QSsl::Pem);
}
QList<QSslCertificate> CertificatesInFolder(const QString& folder) {
    return QSslCertificate::fromPath(QDir(folder).filePath(QStringLiteral("*")), QSsl::Pem,
                                     QSslCertificate::PatternSyntax::Wildcard);
}

// SSL_CERT_FILE or SSL_CERT_DIR set to a place that gives no certificate (a typing error, a file
// in another format) would otherwise leave the user wondering why their authority is not used.
QString UnreadableStores() {
    QString said;
    const QString file = qEnvironmentVariable("SSL_CERT_FILE");
    if (!file.isEmpty() && !IsSystemStore(file) && CertificatesInFile(file).isEmpty())
        said += QStringLiteral(" SSL_CERT_FILE (%1) ne contient aucun certificat lisible au format PEM.")
                    .arg(QDir::toNativeSeparators(file));
    for (const QString& folder : qEnvironmentVariable("SSL_CERT_DIR").split(QDir::listSeparator(), Qt::SkipEmptyParts))
        if (!IsSystemStore(folder) && CertificatesInFolder(folder).isEmpty())
            said += QStringLiteral(" Le dossier %1 de SSL_CERT_DIR ne contient aucun certificat lisible au format PEM.")
                        .arg(QDir::toNativeSeparators(folder));
    return said;
}

// The sentence for a refused certificate, with Qt's own reason. An expired certificate or one
// made out for another name says so before an authority that is not known.
QString CertificateSentence(const QString& host, const QList<QSslError>& errors) {
    QSslError chosen = errors.first();
    for (const QSslError& error : errors)
        if (error.error() == QSslError::CertificateExpired || error.error() == QSslError::CertificateNotYetValid ||
            error.error() == QSslError::HostNameMismatch) {
            chosen = error;
            break;
        }
    const QString reason = chosen.errorString();
    switch (chosen.error()) {
    case QSslError::CertificateExpired:
        return QStringLiteral("Le certificat du serveur %1 a expiré (%2).").arg(host, reason);
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("Le certificat du serveur %1 n'est pas encore valable (%2).").arg(host, reason);
    case QSslError::HostNameMismatch:
        return QStringLiteral("Le certificat du serveur %1 est établi pour un autre nom (%2).").arg(host, reason);
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("Le certificat du serveur %1 n'est pas reconnu (%2). Une autorité de certification "
                              "privée s'ajoute avec les variables SSL_CERT_FILE ou SSL_CERT_DIR.")
                   .arg(host, reason) +
               UnreadableStores();
    default:
        return QStringLiteral("Le certificat du serveur %1 est refusé (%2).").arg(host, reason);
    }
}

// The system's authorities, plus those of SSL_CERT_FILE (one file) and SSL_CERT_DIR (folders
// separated by ':'), as curl and OpenSSL take them. Nothing changes when neither is set.
// Many systems point both variables at the system's own store, which Qt trusts already (and
// reads only when a TLS connection needs it): reading it again would only cost time. Only the
// store's folder and its bundle are skipped: a certificate file dropped into the folder without
// its hashed name is not in what Qt reads there.
bool IsSystemStore(const QString& path) {
    const QString real = QFileInfo(path).canonicalFilePath();
    return real == QLatin1String("/etc/ssl/certs") || real == QLatin1String("/etc/ssl/certs/ca-certificates.crt");
}

std::optional<QSslConfiguration> ReadTrust(const QString& file, const QString& folders) {
    QList<QSslCertificate> extra;
    if (!file.isEmpty() && !IsSystemStore(file))
        extra += CertificatesInFile(file);
    for (const QString& folder : folders.split(QDir::listSeparator(), Qt::SkipEmptyParts))
        if (!IsSystemStore(folder))
            extra += CertificatesInFolder(folder);
    if (extra.isEmpty())
        return std::nullopt;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    // Setting the list ends Qt's loading of the system's authorities on demand: they go in too.
    configuration.setCaCertificates(QSslConfiguration::systemCaCertificates() + extra);
    return configuration;
}

// A private store takes a fraction of a second to read, which every catch-up worker would pay
// again: it is read once per process for the same variables, and shared by every transfer and
// thread.
std::optional<QSslConfiguration> TrustFromEnvironment() {
    static std::mutex mutex;
    static std::optional<std::pair<QString, QString>> readFor;
    static std::optional<QSslConfiguration> trust;
    const std::pair<QString, QString> variables{qEnvironmentVariable("SSL_CERT_FILE"),
                                                qEnvironmentVariable("SSL_CERT_DIR")};
    const std::lock_guard lock(mutex);
    if (readFor != variables) {
        trust = ReadTrust(variables.first, variables.second);
        readFor = variables;
    }
    return trust;
}
#endif

// The default archive addresses are under the reserved domain .invalid: nothing to ask there.
bool IsUnconfiguredArchive(const QUrl& url) {
    const QString host = url.host().toLower();
    return host == QLatin1String("invalid") || host.endsWith(QLatin1String(".invalid"));
}

QString UserSettingsFile() {
#ifdef Q_OS_WIN
    return QStringLiteral("le registre (HKEY_CURRENT_USER\\Software\\Orvane\\Lectoria)");
#else
    QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                   QStringLiteral("/Orvane/Lectoria.conf");
    const QString home = QDir::homePath();
    if (path.startsWith(home + u'/'))
        path = u'~' + path.mid(home.size());
    return path;
#endif
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

bool IsWebScheme(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// One download of one address into one file, with its retries.
class Session {
public:
    Session(const TransferTuning& tuning, QNetworkAccessManager& network, const SslTrust& trust, ProgressView& view)
        : tuning_(tuning), network_(network), trust_(trust), view_(view) {
        view_.onCancel = [this] { Cancel(); };
    }
    ~Session() { view_.onCancel = nullptr; }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Outcome Run(const QUrl& url, const QString& target) {
        const std::unique_ptr<FileWriter> writer = tuning_.makeWriter(target);
        if (!writer->Open())
            return Outcome(writer->Failure());
        ReceivedBody body;
        // A leftover of an earlier run is continued with Range and If-Range: the server sends
        // the rest if its file is still the same one, the whole file otherwise.
        const HeldPart held = writer->Held();
        if (held.size > 0 && !body.Continue(held.size, held.head, held.tail, held.validator, held.total) &&
            !writer->Restart())
            return Outcome(writer->Failure());
        Outcome outcome;
        int silentAttempts = 0;
        for (int attempt = 0;; ++attempt) {
            outcome = Attempt(url, target, *writer, body);
            if (outcome.result == TransferResult::Downloaded) {
                if (!writer->Commit())
                    outcome.result = writer->Failure();
                return outcome;
            }
            if (!outcome.transient || cancelled_ || attempt >= tuning_.maxRetries)
                break;
            // A server that fell silent twice will not say more: silence costs a download about two
            // response delays, not four plus the pauses.
            if (outcome.silent && ++silentAttempts >= 2)
                break;
            if (outcome.retryAfterSeconds && *outcome.retryAfterSeconds > kLongestRetryAfter)
                break; // the server asks for a long wait: no point in trying again now
            if (!Pause(attempt, outcome.retryAfterSeconds)) {
                outcome = Outcome(TransferResult::Cancelled);
                break;
            }
        }
        // Cut short by the network: what arrived stays for the next run, with its validator.
        const bool resumable = outcome.transient && body.received > 0 && !body.validator.isEmpty();
        if (resumable && !cancelled_)
            writer->Keep();
        else
            writer->Discard();
        return outcome;
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
    bool Pause(int attempt, std::optional<qint64> retryAfter) {
        qint64 shownSeconds = qint64{1} << attempt;
        qint64 ms = tuning_.firstRetryPause.count() << attempt;
        if (retryAfter) {
            shownSeconds = *retryAfter;
            ms = *retryAfter * tuning_.retryAfterSecond.count();
        }
        view_.SetStatus(QStringLiteral("Nouvelle tentative dans %1 s…").arg(shownSeconds));
        QEventLoop loop;
        pause_ = &loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        pause_ = nullptr;
        view_.SetStatus(QString());
        return !cancelled_;
    }

    Outcome Attempt(const QUrl& url, const QString& target, FileWriter& writer, ReceivedBody& body) {
        const bool resuming = body.received > 0;
        QNetworkRequest request(url);
        request.setRawHeader("Accept-Encoding", "identity");
        request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Lectoria/1.1.8"));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setMaximumRedirectsAllowed(tuning_.maxRedirects);
#if QT_CONFIG(ssl)
        if (trust_.configuration)
            request.setSslConfiguration(*trust_.configuration);
#endif
        if (resuming) {
            request.setRawHeader("Range", "bytes=" + QByteArray::number(body.received) + '-');
            if (!body.validator.isEmpty())
                request.setRawHeader("If-Range", body.validator);
        }

        QNetworkReply* reply = network_.get(request);
        reply->setReadBufferSize(kReadBufferSize);
        reply_ = reply;
        timedOut_ = false;
#if QT_CONFIG(ssl)
        sslErrors_.clear();
        QObject::connect(reply, &QNetworkReply::sslErrors, reply, [this, reply](const QList<QSslError>& errors) {
            sslErrors_ = errors;
            sslHost_ = reply->url().host();
        });
#endif

        // Our own clock for both limits, so that a time-out is never taken for a cancel.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, reply, [this, reply] {
            timedOut_ = true;
            reply->abort();
        });
        watchdog.start(tuning_.connectTimeout);

        Outcome outcome;
        bool headersSeen = false;
        QByteArray contentType;
        bool keeping = false; // the body is the edition's (else an error page, read and dropped)
        QElapsedTimer clock;
        clock.start();
        QElapsedTimer lastShown;
        lastShown.start();
        const qint64 receivedAtStart = body.received;
        view_.SetStatus(QString());

        const auto fail = [&](int result) {
            if (outcome.result == TransferResult::Downloaded)
                outcome.result = result;
            keeping = false;
            reply->abort();
        };
        const auto showProgress = [&] {
            const double speed = (body.received - receivedAtStart) * 1000.0 / qMax<qint64>(1, clock.elapsed());
            view_.SetProgress(body.received, body.total, speed);
        };
        const auto takeHeaders = [&] {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (headersSeen || status < 200 || (status >= 300 && status < 400))
                return; // no final answer yet, or a redirect hop
            headersSeen = true;
            outcome.httpStatus = status;
            if (status == 416 && resuming) {
                // The server's file is shorter than what we hold, or another one: start over.
                body.Reset();
                if (!writer.Restart())
                    return fail(writer.Failure());
                outcome.transient = true;
                return fail(TransferResult::Truncated);
            }
            contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
            if (contentType.isEmpty())
                contentType = reply->rawHeader("Content-Type");
            if (!IsSuccessStatus(status))
                return;
            if (!IsIdentityEncoding(reply->rawHeader("Content-Encoding")))
                return fail(TransferResult::NotPdf); // not the file's own bytes: nothing to check them by
            if (status == 206) {
                const auto range = ParseContentRange(reply->rawHeader("Content-Range"));
                if (!ContinuesAt(range, body.received, body.total)) {
                    // Not the rest of what we hold: throw everything away and start over.
                    body.Reset();
                    if (!writer.Restart())
                        return fail(writer.Failure());
                    outcome.transient = true;
                    return fail(TransferResult::Truncated);
                }
                body.total = range->total;
            } else {
                if (resuming) { // the server sends the whole file again
                    body.Reset();
                    if (!writer.Restart())
                        return fail(writer.Failure());
                }
                body.total = AnnouncedLength(reply->rawHeaderPairs());
                const QByteArray etag = reply->rawHeader("ETag");
                body.validator = (!etag.isEmpty() && !etag.startsWith("W/")) ? etag : reply->rawHeader("Last-Modified");
                writer.SetValidator(body.validator, body.total); // kept beside the file, for a later run
            }
            keeping = true;
            const qint64 missing = body.total - body.received;
            if (missing > 0) {
                const QStorageInfo volume(QFileInfo(target).absolutePath());
                if (volume.isValid() && volume.isReady() && volume.bytesTotal() > 0 && volume.bytesAvailable() >= 0 &&
                    volume.bytesAvailable() < missing)
                    fail(TransferResult::DiskFull); // refused before writing anything more
            }
        };
        const auto consume = [&](const QByteArray& chunk) {
            if (chunk.isEmpty())
                return;
            // An answer that cannot be a PDF never reaches the file. A web page there is how many
            // sites say that a file is missing.
            if (!body.Add(chunk)) {
                if (!IsHtmlType(contentType) && !LooksLikeHtml(chunk))
                    return fail(TransferResult::NotPdf);
                // A page of another site is not the archive saying "not there": a Wi-Fi portal
                // or a filtering proxy answered instead, and the edition was never asked for.
                // The newspaper's own home page, on another of its hosts, is its way of saying it.
                const QUrl landed = reply->url();
                if (!SameSite(url.host(), landed.host())) {
                    outcome.detail = QStringLiteral("La demande a été renvoyée vers une page web d'un autre site (%1) "
                                                    "au lieu de l'archive : un portail d'accès au réseau (Wi-Fi "
                                                    "public, hôtel) ou un proxy attend sans doute une connexion.")
                                         .arg(landed.host());
                    return fail(TransferResult::NetworkError);
                }
                return fail(TransferResult::WebPage);
            }
            if (!writer.Write(chunk.constData(), chunk.size()))
                return fail(writer.Failure());
            if (lastShown.elapsed() >= 100) {
                lastShown.restart();
                showProgress();
            }
        };

        // Qt follows the redirects itself and refuses https to http and any other scheme.
        QObject::connect(reply, &QNetworkReply::redirected, reply, [&] { watchdog.start(tuning_.connectTimeout); });
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
            watchdog.start(tuning_.stallTimeout);
            takeHeaders();
        });
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
            watchdog.start(tuning_.stallTimeout);
            takeHeaders();
            // Once aborted the reply is closed: reading it then only makes Qt complain.
            const QByteArray chunk = reply->isOpen() ? reply->readAll() : QByteArray();
            if (keeping && outcome.result == TransferResult::Downloaded)
                consume(chunk);
        });
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        watchdog.stop();
        reply_ = nullptr;

        takeHeaders();
        if (keeping && outcome.result == TransferResult::Downloaded && reply->isOpen())
            consume(reply->readAll()); // finished can arrive with unread data
        const QNetworkReply::NetworkError error = reply->error();
        const QByteArray retryAfter = reply->rawHeader("Retry-After");
        const QUrl lastUrl = reply->url();
        const QByteArray location = reply->rawHeader("Location");
        reply->disconnect();
        reply->deleteLater();

        if (outcome.result == TransferResult::Downloaded) {
            Classify(outcome, error, body, retryAfter, lastUrl, location);
            outcome.silent = outcome.result == TransferResult::TimedOut;
        } else if (cancelled_)
            outcome = Outcome(TransferResult::Cancelled);
        if (outcome.result == TransferResult::Downloaded)
            showProgress();
        return outcome;
    }

    void Classify(Outcome& outcome, QNetworkReply::NetworkError error, const ReceivedBody& body,
                  const QByteArray& retryAfter, const QUrl& lastUrl, const QByteArray& location) const {
        const int status = outcome.httpStatus;
        const auto set = [&](int result, bool transient) {
            outcome.result = result;
            outcome.transient = transient;
        };
        if (cancelled_)
            return set(TransferResult::Cancelled, false);
#if QT_CONFIG(ssl)
        if (!sslErrors_.isEmpty() && (status == 0 || error == QNetworkReply::SslHandshakeFailedError)) {
            outcome.detail = CertificateSentence(sslHost_, sslErrors_);
            return set(TransferResult::CertificateError, false);
        }
#endif
        if (error == QNetworkReply::InsecureRedirectError || error == QNetworkReply::ProtocolUnknownError) {
            // https to http, or to ftp://, file://...: where it went, from the refused hop's Location.
            const QUrl next = location.isEmpty() ? QUrl() : lastUrl.resolved(QUrl::fromEncoded(location));
            const QString where =
                next.isValid() && !next.isEmpty() ? next.toDisplayString() : QStringLiteral("une autre adresse");
            outcome.detail =
                error == QNetworkReply::InsecureRedirectError
                    ? QStringLiteral("Renvoi refusé : l'archive renvoie vers %1, une adresse non chiffrée "
                                     "(de https:// vers http://).")
                          .arg(where)
                    : QStringLiteral("Renvoi refusé : l'archive renvoie vers %1 ; seules les adresses http:// et "
                                     "https:// sont suivies.")
                          .arg(where);
            return set(TransferResult::BadAddress, false);
        }
        if (IsProxyError(error)) {
            outcome.detail = ProxySentence(error, lastUrl);
            return set(TransferResult::ProxyError, IsTransientNetworkError(error));
        }
        if (error == QNetworkReply::TooManyRedirectsError) {
            outcome.httpStatus = 0;
            return set(TransferResult::HttpError, false);
        }
        if (timedOut_)
            return set(TransferResult::TimedOut, true);
        if (status != 0 && !IsSuccessStatus(status)) {
            set((status == 404 || status == 410) ? TransferResult::NotFound : TransferResult::HttpError,
                IsTransientStatus(status));
            outcome.retryAfterSeconds = RetryAfterSeconds(retryAfter, QDateTime::currentDateTimeUtc());
            return;
        }
        if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
            return set(TransferResult::TimedOut, true);
        if (status == 0 && error != QNetworkReply::NoError && ProxyFor(lastUrl)) {
            // Through a proxy, the connection that failed is the one to the proxy.
            outcome.detail = ProxySentence(error, lastUrl);
            return set(TransferResult::ProxyError, IsTransientNetworkError(error));
        }
        if (error != QNetworkReply::NoError) {
            // A connection lost once the server has answered leaves an incomplete file; before
            // that the server was not reached.
            return set(status != 0 ? TransferResult::Truncated : TransferResult::NetworkError,
                       IsTransientNetworkError(error));
        }
        const BodyVerdict verdict = JudgeBody(body);
        set(verdict.result, verdict.transient);
    }

    const TransferTuning& tuning_;
    QNetworkAccessManager& network_;
    const SslTrust& trust_;
    ProgressView& view_;
    QNetworkReply* reply_ = nullptr;
    QEventLoop* pause_ = nullptr;
    bool cancelled_ = false;
    bool timedOut_ = false;
#if QT_CONFIG(ssl)
    QList<QSslError> sslErrors_;
    QString sslHost_;
#endif
};

} // namespace

TransferTuning TuningFromEnvironment() {
    TransferTuning tuning;
    bool ok = false;
    const int timeout = qEnvironmentVariableIntValue("LECTORIA_DELAI_REPONSE", &ok);
    if (ok && timeout >= 1) {
        tuning.connectTimeout = std::chrono::seconds(timeout);
        tuning.stallTimeout = std::chrono::seconds(timeout);
    }
    const int pause = qEnvironmentVariableIntValue("LECTORIA_PAUSE_REPRISE", &ok);
    if (ok && pause >= 0)
        tuning.firstRetryPause = std::chrono::seconds(pause);
    return tuning;
}

HttpTransferLibrary::HttpTransferLibrary(TransferTuning tuning) : tuning_(std::move(tuning)) {
    if (!tuning_.makeWriter)
        tuning_.makeWriter = MakePartFileWriter;
}

HttpTransferLibrary::~HttpTransferLibrary() = default;

QNetworkAccessManager& HttpTransferLibrary::Network() {
    if (!network_) {
        // Read when the first transfer needs it, not when the program starts.
        QNetworkProxyFactory::setUseSystemConfiguration(true); // system settings, or http_proxy
        network_ = std::make_unique<QNetworkAccessManager>();
#if QT_CONFIG(ssl)
        trust_ = std::make_unique<SslTrust>(SslTrust{TrustFromEnvironment()});
#else
        trust_ = std::make_unique<SslTrust>();
#endif
    }
    return *network_;
}

int HttpTransferLibrary::IsConnected(const QString& url) {
    // Nothing is asked of an archive that is not set up: the download says so, not "offline".
    if (IsUnconfiguredArchive(QUrl(url)))
        return 1;
    return ProbeConnection(QUrl(url)) ? 1 : 0;
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

QString HttpTransferLibrary::DescribeFailure(int result, int httpStatus, const QString& target, const QString& detail) {
    if (!detail.isEmpty())
        return detail;
    const QFileInfo file(target);
    const QString where = QDir::toNativeSeparators(file.absolutePath());
    switch (result) {
    case TransferResult::NotFound:
        return QStringLiteral("Édition introuvable sur le serveur (erreur %1).").arg(httpStatus);
    case TransferResult::HttpError:
        if (httpStatus <= 0)
            return QStringLiteral("Le serveur renvoie vers trop d'adresses successives.");
        if (IsTransientStatus(httpStatus))
            return QStringLiteral("Le serveur est momentanément indisponible (erreur %1).").arg(httpStatus);
        return QStringLiteral("Le serveur a refusé la demande (erreur %1).").arg(httpStatus);
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
        return QStringLiteral("Plus de place sur le disque : le fichier n'a pas pu être enregistré dans le dossier %1.")
            .arg(where);
    case TransferResult::ReadOnlyFileSystem:
        return QStringLiteral("Le dossier %1 est sur un système de fichiers en lecture seule : le fichier n'a pas pu "
                              "y être enregistré.")
            .arg(where);
    case TransferResult::PermissionDenied:
        return QStringLiteral("Permission refusée : le fichier n'a pas pu être enregistré dans le dossier %1.")
            .arg(where);
    case TransferResult::ReadOnlyFolder:
        return QStringLiteral("Le dossier %1 est en lecture seule.").arg(where);
    case TransferResult::WriteError:
        return QStringLiteral("Impossible d'écrire le fichier dans le dossier %1.").arg(where);
    case TransferResult::TargetIsFolder:
        return QStringLiteral("Le nom %1 est déjà pris par un dossier dans %2.").arg(file.fileName(), where);
    case TransferResult::BadAddress:
        return QStringLiteral("Adresse refusée : seules les adresses http:// et https:// sont suivies.");
    case TransferResult::WebPage:
        return QStringLiteral("L'archive a répondu par une page web au lieu de l'édition : elle n'est sans doute pas "
                              "(encore) publiée.");
    case TransferResult::NotConfigured:
        return QStringLiteral("Aucune archive n'est configurée (l'adresse par défaut ne mène nulle part) : indiquez "
                              "l'adresse de l'archive dans %1, section [Adresses], clé ArchiveMetro ou "
                              "Archive20minutes, ou dans la variable LECTORIA_METRO_URL ou LECTORIA_20MINUTES_URL.")
            .arg(UserSettingsFile());
    case TransferResult::CertificateError:
        return QStringLiteral("Le certificat du serveur est refusé.");
    case TransferResult::ProxyError:
        return QStringLiteral("Impossible de joindre le proxy.");
    default:
        return QStringLiteral("Échec du téléchargement.");
    }
}

int HttpTransferLibrary::Download(QWidget* owner, const QString& url, const QString& file) {
    lastError_.clear();
    const QUrl address(url, QUrl::StrictMode);
    const auto view = tuning_.showProgress ? MakeProgressView(owner) : MakeSilentProgressView();
    view->Start(label_, description_);
    Outcome outcome;
    if (!address.isValid() || !IsWebScheme(address) || address.host().isEmpty()) {
        outcome.result = TransferResult::BadAddress;
    } else if (IsUnconfiguredArchive(address)) {
        outcome.result = TransferResult::NotConfigured;
    } else {
        QNetworkAccessManager& network = Network();
        outcome = Session(tuning_, network, *trust_, *view).Run(address, file);
    }
    if (outcome.result != TransferResult::Downloaded) {
        lastError_ = DescribeFailure(outcome.result, outcome.httpStatus, file, outcome.detail);
        const bool cancelled = outcome.result == TransferResult::Cancelled;
        view->ShowFailure(cancelled ? QStringLiteral("Téléchargement annulé")
                                    : QStringLiteral("Échec du téléchargement"),
                          lastError_, tuning_.waitForCloseOnFailure);
    }
    view->Finish();
    return outcome.result;
}

} // namespace lectoria
