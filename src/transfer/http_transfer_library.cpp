#include "transfer/http_transfer_library.h"

#include "rules/version.h"
#include "storage/own_files.h"

#include "transfer/connection_probe.h"
#include "transfer/progress_view.h"
#include "transfer/response_check.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QHttp2Configuration>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>
#include <algorithm>
#include <functional>
#if QT_CONFIG(ssl)
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#endif

#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace lectoria {

#if QT_CONFIG(ssl)
struct SslTrust {
    std::optional<QSslConfiguration> configuration; // none: Qt's defaults
    // "host certificate-digest" of the chains the system's authorities accepted: checking one
    // reads the whole system store, once per run rather than at each connection's handshake.
    std::mutex mutex;
    QSet<QByteArray> vouched;
};
#else
struct SslTrust {};
#endif

namespace {

// What Qt may hold for us between two reads over HTTP/1.1; the socket waits beyond that, so memory
// stays flat. (Over HTTP/2 Qt reads the connection for every stream: each chunk is written out
// at the signal that brings it.)
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
    // Only the added authorities: setting a list ends Qt's loading of the system's ones on
    // demand, and reading them all takes Qt 0.1 to 0.3 s (nearly 300 certificates) before the
    // first request of every run. A server they do not vouch for is checked against the system's
    // authorities during its handshake (SystemVouchesFor): that read is paid only then.
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(extra);
    return configuration;
}

// The handshake's only complaint is that none of the added authorities issued the chain.
bool OnlyTheIssuerIsUnknown(const QList<QSslError>& errors) {
    return !errors.isEmpty() && std::all_of(errors.cbegin(), errors.cend(), [](const QSslError& error) {
        switch (error.error()) {
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::SelfSignedCertificateInChain:
            return true;
        default: // a wrong name, an expired or misused certificate is refused whoever signed it
            return false;
        }
    });
}

// Whether the system's own authorities accept the chain the server presented, for its name: a
// server signed by a public authority while SSL_CERT_FILE or SSL_CERT_DIR add private ones. The
// check reads the whole system store: its verdict is kept for the run.
bool SystemVouchesFor(const QNetworkReply& reply, const QList<QSslError>& errors, SslTrust& trust) {
    const QList<QSslCertificate> chain = reply.sslConfiguration().peerCertificateChain();
    if (chain.isEmpty() || !OnlyTheIssuerIsUnknown(errors))
        return false;
    const QByteArray key = reply.url().host().toUtf8() + ' ' + chain.first().digest(QCryptographicHash::Sha256);
    const std::lock_guard lock(trust.mutex);
    if (trust.vouched.contains(key))
        return true;
    if (!QSslCertificate::verify(chain, reply.url().host()).isEmpty())
        return false;
    trust.vouched.insert(key);
    return true;
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

// Where the user sets an archive's address: a value of a registry key on Windows, a key of the
// settings file elsewhere.
QString WhereToSetTheArchive() {
#ifdef Q_OS_WIN
    return QStringLiteral("le registre, sous la clé HKEY_CURRENT_USER\\Software\\Orvane\\Lectoria\\Adresses, valeur "
                          "ArchiveMetro ou Archive20minutes");
#else
    QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                   QStringLiteral("/Orvane/Lectoria.conf");
    const QString home = QDir::homePath();
    if (path.startsWith(home + u'/'))
        path = u'~' + path.mid(home.size());
    return path + QStringLiteral(", section [Adresses], clé ArchiveMetro ou Archive20minutes");
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

// HTTP/2's flow control lets a server send only as much as the client's window says before it
// hears back. With the protocol's default window (64 KiB), every edition would come at 64 KiB
// per round trip whatever the link: 150 kB took three round trips. Large windows let each stream
// run at the link's speed; each chunk is written out at the signal that brings it.
QHttp2Configuration Http2Windows() {
    QHttp2Configuration windows;
    windows.setSessionReceiveWindowSize(std::numeric_limits<qint32>::max());
    windows.setStreamReceiveWindowSize(16 * 1024 * 1024);
    return windows;
}

// One download of one address into one file, with its retries, driven by the network manager's
// signals: Start returns at once, and `done` is called from the event loop once the transfer has
// ended (never from within Start). Several run side by side on one manager, so that a server
// speaking HTTP/2 carries them all on one connection.
class Session {
public:
    using Done = std::function<void(const Outcome&)>;

    Session(const TransferTuning& tuning, QNetworkAccessManager& network, SslTrust& trust, ProgressView& view, QUrl url,
            QString target, Done done)
        : tuning_(tuning), network_(network), trust_(trust), view_(view), url_(std::move(url)),
          target_(std::move(target)), done_(std::move(done)) {
        view_.onCancel = [this] { Cancel(); };
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, &watchdog_, [this] {
            timedOut_ = true;
            if (reply_)
                reply_->abort();
        });
        pause_.setSingleShot(true);
        QObject::connect(&pause_, &QTimer::timeout, &pause_, [this] { Resume(); });
    }
    ~Session() {
        if (committing_.joinable())
            committing_.join();
        view_.onCancel = nullptr;
        if (reply_) { // only when the library goes while a transfer runs: nothing more is written
            QNetworkReply* reply = std::exchange(reply_, nullptr);
            reply->disconnect();
            reply->abort();
            reply->deleteLater();
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Start() {
        QTimer::singleShot(0, &pause_, [this] { Begin(); });
    }

    void Cancel() {
        cancelled_ = true;
        if (reply_)
            reply_->abort(); // its end, queued, reports the cancel
        if (pause_.isActive()) {
            pause_.stop();
            GiveUp(Outcome(TransferResult::Cancelled));
        }
    }

    // The server answered this transfer over HTTP/2.
    bool Multiplexed() const { return multiplexed_; }
    std::function<void()> onMultiplexed;

private:
    void Begin() {
        if (cancelled_)
            return End(Outcome(TransferResult::Cancelled));
        writer_ = tuning_.makeWriter(target_);
        if (!writer_->Open())
            return End(Outcome(writer_->Failure()));
        // A leftover of an earlier run is continued with Range and If-Range: the server sends
        // the rest if its file is still the same one, the whole file otherwise.
        const HeldPart held = writer_->Held();
        if (held.size > 0 && !body_.Continue(held.size, held.head, held.tail, held.validator, held.total) &&
            !writer_->Restart())
            return End(Outcome(writer_->Failure()));
        Attempt();
    }

    // One request; OnFinished takes its end.
    void Attempt() {
        resuming_ = body_.received > 0;
        QNetworkRequest request(url_);
        request.setRawHeader("Accept-Encoding", "identity");
        request.setHeader(QNetworkRequest::UserAgentHeader,
                          QString(ApplicationTitle() + u'/' + VersionText()).toLatin1());
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setMaximumRedirectsAllowed(tuning_.maxRedirects);
        request.setHttp2Configuration(Http2Windows());
#if QT_CONFIG(ssl)
        if (trust_.configuration)
            request.setSslConfiguration(*trust_.configuration);
#endif
        if (resuming_) {
            request.setRawHeader("Range", "bytes=" + QByteArray::number(body_.received) + '-');
            if (!body_.validator.isEmpty())
                request.setRawHeader("If-Range", body_.validator);
        }

        outcome_ = Outcome();
        headersSeen_ = false;
        keeping_ = false;
        contentType_.clear();
        timedOut_ = false;
        receivedAtStart_ = body_.received;
        clock_.start();
        lastShown_.start();
        view_.SetStatus(QString());
#if QT_CONFIG(ssl)
        sslErrors_.clear();
#endif
        QNetworkReply* reply = network_.get(request);
        reply->setReadBufferSize(kReadBufferSize);
        reply_ = reply;
#if QT_CONFIG(ssl)
        QObject::connect(reply, &QNetworkReply::sslErrors, reply, [this, reply](const QList<QSslError>& errors) {
            if (trust_.configuration && SystemVouchesFor(*reply, errors, trust_)) {
                reply->ignoreSslErrors(errors); // only what the added authorities alone could not vouch for
                return;
            }
            sslErrors_ = errors;
            sslHost_ = reply->url().host();
        });
        // The protocol is agreed in the TLS handshake, a round trip before the first answer: the
        // transfers waiting for this host can go out beside this one's request.
        QObject::connect(reply, &QNetworkReply::encrypted, reply, [this, reply] {
            if (reply->sslConfiguration().nextNegotiatedProtocol() == QSslConfiguration::ALPNProtocolHTTP2)
                SetMultiplexed(*reply);
        });
#endif
        // Our own clock for both limits, so that a time-out is never taken for a cancel.
        watchdog_.start(tuning_.connectTimeout);
        // Qt follows the redirects itself and refuses https to http and any other scheme.
        QObject::connect(reply, &QNetworkReply::redirected, reply, [this] { watchdog_.start(tuning_.connectTimeout); });
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this, reply] {
            watchdog_.start(tuning_.stallTimeout);
            TakeHeaders(reply);
        });
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, reply] {
            watchdog_.start(tuning_.stallTimeout);
            TakeHeaders(reply);
            // Once aborted the reply is closed: reading it then only makes Qt complain.
            const QByteArray chunk = reply->isOpen() ? reply->readAll() : QByteArray();
            if (keeping_ && outcome_.result == TransferResult::Downloaded)
                Consume(reply, chunk);
        });
        // Queued: an abort from within a handler above ends the request only once that handler
        // has returned.
        QObject::connect(
            reply, &QNetworkReply::finished, reply, [this, reply] { OnFinished(reply); }, Qt::QueuedConnection);
        if (reply->isFinished())
            QTimer::singleShot(0, reply, [this, reply] { OnFinished(reply); });
    }

    // Only the host asked: after a redirect to another host, what that one speaks says nothing
    // of how many requests the first one takes at once.
    void SetMultiplexed(const QNetworkReply& reply) {
        if (multiplexed_ || reply.url().host() != url_.host() || reply.url().port(-1) != url_.port(-1))
            return;
        multiplexed_ = true;
        if (onMultiplexed)
            onMultiplexed();
    }

    void Fail(QNetworkReply* reply, int result) {
        if (outcome_.result == TransferResult::Downloaded)
            outcome_.result = result;
        keeping_ = false;
        reply->abort();
    }

    void ShowProgress() {
        const double speed = (body_.received - receivedAtStart_) * 1000.0 / qMax<qint64>(1, clock_.elapsed());
        view_.SetProgress(body_.received, body_.total, speed);
    }

    void TakeHeaders(QNetworkReply* reply) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (headersSeen_ || status < 200 || (status >= 300 && status < 400))
            return; // no final answer yet, or a redirect hop
        headersSeen_ = true;
        outcome_.httpStatus = status;
        if (reply->attribute(QNetworkRequest::Http2WasUsedAttribute).toBool())
            SetMultiplexed(*reply);
        if (status == 416 && resuming_) {
            // The server's file is shorter than what we hold, or another one: start over.
            body_.Reset();
            if (!writer_->Restart())
                return Fail(reply, writer_->Failure());
            outcome_.transient = true;
            return Fail(reply, TransferResult::Truncated);
        }
        contentType_ = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        if (contentType_.isEmpty())
            contentType_ = reply->rawHeader("Content-Type");
        if (!IsSuccessStatus(status))
            return;
        if (!IsIdentityEncoding(reply->rawHeader("Content-Encoding")))
            return Fail(reply, TransferResult::NotPdf); // not the file's own bytes: nothing to check them by
        if (status == 206) {
            const auto range = ParseContentRange(reply->rawHeader("Content-Range"));
            if (!ContinuesAt(range, body_.received, body_.total)) {
                // Not the rest of what we hold: throw everything away and start over.
                body_.Reset();
                if (!writer_->Restart())
                    return Fail(reply, writer_->Failure());
                outcome_.transient = true;
                return Fail(reply, TransferResult::Truncated);
            }
            body_.total = range->total;
        } else {
            if (resuming_) { // the server sends the whole file again
                body_.Reset();
                if (!writer_->Restart())
                    return Fail(reply, writer_->Failure());
            }
            body_.total = AnnouncedLength(reply->rawHeaderPairs());
            const QByteArray etag = reply->rawHeader("ETag");
            body_.validator = (!etag.isEmpty() && !etag.startsWith("W/")) ? etag : reply->rawHeader("Last-Modified");
            writer_->SetValidator(body_.validator, body_.total); // kept beside the file, for a later run
        }
        keeping_ = true;
        const qint64 missing = body_.total - body_.received;
        if (missing > 0) {
            const QStorageInfo volume(QFileInfo(target_).absolutePath());
            if (volume.isValid() && volume.isReady() && volume.bytesTotal() > 0 && volume.bytesAvailable() >= 0 &&
                volume.bytesAvailable() < missing)
                Fail(reply, TransferResult::DiskFull); // refused before writing anything more
        }
    }

    void Consume(QNetworkReply* reply, const QByteArray& chunk) {
        if (chunk.isEmpty())
            return;
        // An answer that cannot be a PDF never reaches the file. A web page there is how many
        // sites say that a file is missing.
        if (!body_.Add(chunk)) {
            if (!IsHtmlType(contentType_) && !LooksLikeHtml(chunk))
                return Fail(reply, TransferResult::NotPdf);
            // A page of another site is not the archive saying "not there": a Wi-Fi portal
            // or a filtering proxy answered instead, and the edition was never asked for.
            // The newspaper's own home page, on another of its hosts, is its way of saying it.
            const QUrl landed = reply->url();
            if (!SameSite(url_.host(), landed.host())) {
                outcome_.detail = QStringLiteral("La demande a été renvoyée vers une page web d'un autre site (%1) "
                                                 "au lieu de l'archive : un portail d'accès au réseau (Wi-Fi "
                                                 "public, hôtel) ou un proxy attend sans doute une connexion.")
                                      .arg(landed.host());
                return Fail(reply, TransferResult::NetworkError);
            }
            return Fail(reply, TransferResult::WebPage);
        }
        if (!writer_->Write(chunk.constData(), chunk.size()))
            return Fail(reply, writer_->Failure());
        if (lastShown_.elapsed() >= 100) {
            lastShown_.restart();
            ShowProgress();
        }
    }

    void OnFinished(QNetworkReply* reply) {
        if (reply != reply_)
            return; // already taken (finished both at once and by its signal)
        watchdog_.stop();
        reply_ = nullptr;

        TakeHeaders(reply);
        if (keeping_ && outcome_.result == TransferResult::Downloaded && reply->isOpen())
            Consume(reply, reply->readAll()); // finished can arrive with unread data
        const QNetworkReply::NetworkError error = reply->error();
        const QByteArray retryAfter = reply->rawHeader("Retry-After");
        const QUrl lastUrl = reply->url();
        const QByteArray location = reply->rawHeader("Location");
        reply->disconnect();
        reply->deleteLater();

        Outcome outcome = outcome_;
        if (outcome.result == TransferResult::Downloaded) {
            Classify(outcome, error, body_, retryAfter, lastUrl, location);
            outcome.silent = outcome.result == TransferResult::TimedOut;
        } else if (cancelled_)
            outcome = Outcome(TransferResult::Cancelled);
        if (outcome.result == TransferResult::Downloaded)
            ShowProgress();
        AfterAttempt(outcome);
    }

    // Commits a complete file, tries again after a pause, or gives up.
    void AfterAttempt(Outcome outcome) {
        if (outcome.result == TransferResult::Downloaded)
            return Commit(outcome);
        if (!outcome.transient || cancelled_ || attempt_ >= tuning_.maxRetries)
            return GiveUp(outcome);
        // A server that fell silent twice will not say more: silence costs a download about two
        // response delays, not four plus the pauses.
        if (outcome.silent && ++silentAttempts_ >= 2)
            return GiveUp(outcome);
        if (outcome.retryAfterSeconds && *outcome.retryAfterSeconds > kLongestRetryAfter)
            return GiveUp(outcome); // the server asks for a long wait: no point in trying again now
        qint64 shownSeconds = qint64{1} << attempt_;
        qint64 ms = tuning_.firstRetryPause.count() << attempt_;
        if (outcome.retryAfterSeconds) {
            shownSeconds = *outcome.retryAfterSeconds;
            ms = *outcome.retryAfterSeconds * tuning_.retryAfterSecond.count();
        }
        view_.SetStatus(QStringLiteral("Nouvelle tentative dans %1 s…").arg(shownSeconds));
        pause_.start(std::chrono::milliseconds(ms));
    }

    // Putting the file on the disk (its data synced, then renamed over the target) takes a few
    // milliseconds that the transfers beside this one would spend waiting: it runs on a thread of
    // its own, and its end comes back to the event loop.
    void Commit(const Outcome& outcome) {
        try {
            committing_ = std::thread([this, outcome] {
                const bool committed = writer_->Commit();
                QMetaObject::invokeMethod(
                    &pause_, [this, outcome, committed] { Committed(outcome, committed); }, Qt::QueuedConnection);
            });
        } catch (const std::system_error&) { // no thread to be had: here, then
            Committed(outcome, writer_->Commit());
        }
    }
    void Committed(Outcome outcome, bool committed) {
        if (committing_.joinable())
            committing_.join();
        if (!committed)
            outcome.result = writer_->Failure();
        End(outcome);
    }

    void Resume() {
        view_.SetStatus(QString());
        ++attempt_;
        Attempt();
    }

    // Cut short by the network: what arrived stays for the next run, with its validator.
    void GiveUp(const Outcome& outcome) {
        const bool resumable = outcome.transient && body_.received > 0 && !body_.validator.isEmpty();
        if (resumable && !cancelled_)
            writer_->Keep();
        else
            writer_->Discard();
        End(outcome);
    }

    // The last thing a session does: `done` may destroy it.
    void End(const Outcome& outcome) {
        const Done done = std::move(done_);
        done(outcome);
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
    SslTrust& trust_;
    ProgressView& view_;
    const QUrl url_;
    const QString target_;
    Done done_;
    std::unique_ptr<FileWriter> writer_;
    ReceivedBody body_;
    QTimer watchdog_;
    QTimer pause_; // also where the commit's end comes back
    std::thread committing_;
    QNetworkReply* reply_ = nullptr;
    int attempt_ = 0;
    int silentAttempts_ = 0;
    bool cancelled_ = false;
    bool timedOut_ = false;
    bool multiplexed_ = false;
    // The request under way.
    Outcome outcome_;
    bool resuming_ = false;
    bool headersSeen_ = false;
    bool keeping_ = false; // the body is the edition's (else an error page, read and dropped)
    QByteArray contentType_;
    QElapsedTimer clock_;
    QElapsedTimer lastShown_;
    qint64 receivedAtStart_ = 0;
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
        trust_ = std::make_unique<SslTrust>();
        trust_->configuration = TrustFromEnvironment();
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
    case TransferResult::FileInUse: {
        const QString program = ProgramHolding(target);
        const QString name = QDir::toNativeSeparators(file.absoluteFilePath());
        if (program.isEmpty())
            return QStringLiteral("Le fichier %1 est ouvert dans un autre programme : fermez-le, puis téléchargez "
                                  "à nouveau.")
                .arg(name);
        return QStringLiteral("Le fichier %1 est ouvert dans un autre programme (%2) : fermez-le, puis téléchargez "
                              "à nouveau.")
            .arg(name, program);
    }
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
                              "l'adresse de l'archive dans %1, ou dans la variable LECTORIA_METRO_URL ou "
                              "LECTORIA_20MINUTES_URL.")
            .arg(WhereToSetTheArchive());
    case TransferResult::CertificateError:
        return QStringLiteral("Le certificat du serveur est refusé.");
    case TransferResult::ProxyError:
        return QStringLiteral("Impossible de joindre le proxy.");
    default:
        return QStringLiteral("Échec du téléchargement.");
    }
}

namespace {

// Why nothing is asked at `address`, if so.
std::optional<int> Refusal(const QUrl& address) {
    if (!address.isValid() || !IsWebScheme(address) || address.host().isEmpty())
        return TransferResult::BadAddress;
    if (IsUnconfiguredArchive(address))
        return TransferResult::NotConfigured;
    return std::nullopt;
}

QString HostKey(const QUrl& address) {
    return address.host() + u':' + QString::number(address.port(-1));
}

} // namespace

// A transfer started by Start, with the view it reports to (which shows nothing).
struct HttpTransferLibrary::Running {
    std::unique_ptr<ProgressView> view = MakeSilentProgressView();
    std::unique_ptr<Session> session;
};

int HttpTransferLibrary::Download(QWidget* owner, const QString& url, const QString& file) {
    lastError_.clear();
    const QUrl address(url, QUrl::StrictMode);
    const auto view = tuning_.showProgress ? MakeProgressView(owner) : MakeSilentProgressView();
    view->Start(label_, description_);
    Outcome outcome;
    if (const auto refused = Refusal(address)) {
        outcome.result = *refused;
    } else {
        QNetworkAccessManager& network = Network(); // before trust_, which it makes
        QEventLoop loop;
        bool ended = false;
        Session session(tuning_, network, *trust_, *view, address, file, [&](const Outcome& end) {
            outcome = end;
            ended = true;
            loop.quit();
        });
        session.Start();
        if (!ended)
            loop.exec();
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

void HttpTransferLibrary::Start(const QString& url, const QString& file, Done done) {
    const QUrl address(url, QUrl::StrictMode);
    QNetworkAccessManager& network = Network();
    if (const auto refused = Refusal(address)) {
        QTimer::singleShot(0, &network, [done = std::move(done), result = *refused, file] {
            done(result, DescribeFailure(result, 0, file));
        });
        return;
    }
    auto running = std::make_unique<Running>();
    const Running* key = running.get();
    const auto ended = [this, key, file, done = std::move(done)](const Outcome& outcome) {
        // The session is deleted once it has returned to the event loop, not from within itself.
        QTimer::singleShot(0, network_.get(), [this, key] { running_.erase(key); });
        done(outcome.result, outcome.result == TransferResult::Downloaded
                                 ? QString()
                                 : DescribeFailure(outcome.result, outcome.httpStatus, file, outcome.detail));
    };
    running->session = std::make_unique<Session>(tuning_, network, *trust_, *running->view, address, file, ended);
    running->session->onMultiplexed = [this, url, host = HostKey(address)] {
        if (multiplexingHosts_.contains(host))
            return;
        multiplexingHosts_.insert(host);
        if (onMoreAtOnce)
            onMoreAtOnce(url);
    };
    running->session->Start();
    running_.emplace(key, std::move(running));
}

int HttpTransferLibrary::AtOnce(const QString& url) const {
    return multiplexingHosts_.contains(HostKey(QUrl(url))) ? kStreamsPerConnection : kConnectionsPerHost;
}

} // namespace lectoria
