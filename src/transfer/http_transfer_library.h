#pragma once

#include "transfer/file_writer.h"
#include "transfer/transfer_library.h"

#include <QSet>
#include <QString>
#include <chrono>
#include <map>
#include <memory>

class QNetworkAccessManager;
class QSslConfiguration;

namespace lectoria {

// The TLS settings every request takes when SSL_CERT_FILE or SSL_CERT_DIR add authorities.
struct SslTrust;

// Time limits and retry pauses; tests shorten them.
struct TransferTuning {
    std::chrono::milliseconds connectTimeout{30000};  // until the first answer of the server
    std::chrono::milliseconds stallTimeout{30000};    // then no byte for this long aborts
    std::chrono::milliseconds firstRetryPause{1000};  // then twice as long, then four times
    std::chrono::milliseconds retryAfterSecond{1000}; // one second of a server's Retry-After
    int maxRetries = 3;
    int maxRedirects = 10;
    bool waitForCloseOnFailure = true; // the window keeps the cause on screen until "Fermer"
    bool showProgress = true;          // false for a transfer that runs beside others
    FileWriterFactory makeWriter = MakePartFileWriter;
};

// The standard tuning, with two diagnostic switches for trying faults by hand and for the
// black-box tests: LECTORIA_DELAI_REPONSE (whole seconds, at least 1) sets both time-outs, and
// LECTORIA_PAUSE_REPRISE (whole seconds, 0 allowed) the pause before the first retry.
TransferTuning TuningFromEnvironment();

// How many transfers to one host run at once: connections of their own while the server speaks
// HTTP/1.1 (more than four gain little and weigh on the server), streams of one connection once
// it speaks HTTP/2 (servers commonly allow 100 or 128).
inline constexpr int kConnectionsPerHost = 4;
inline constexpr int kStreamsPerConnection = 64;

// Our download library on QNetworkAccessManager: one manager for the library's whole life, so
// that the connections the server keeps open serve the next editions and retries too. Besides
// the Download of one edition with its progress, it runs transfers side by side (Start) on the
// same manager: a server speaking HTTP/2 then carries them all on one connection. The body streams into a temporary
// file beside the target, which replaces the target in one rename only once the transfer is complete and holds a PDF;
// on any failure the target is left exactly as it was.
//
// The connection test honours LECTORIA_CONNEXION=absente|presente, a diagnostic switch that
// forces its answer (used by the black-box tests of the command line).
class HttpTransferLibrary final : public TransferLibrary, public ConcurrentTransfers {
public:
    explicit HttpTransferLibrary(TransferTuning tuning = TuningFromEnvironment());
    ~HttpTransferLibrary() override;
    HttpTransferLibrary(const HttpTransferLibrary&) = delete;
    HttpTransferLibrary& operator=(const HttpTransferLibrary&) = delete;

    int IsConnected(const QString& url) override;
    void SetOption(const QString& name, const QString& value) override;
    void ClearFiles() override;
    int Download(QWidget* owner, const QString& url, const QString& file) override;
    QString LastError() const override { return lastError_; }

    void Start(const QString& url, const QString& file, Done done) override;
    int AtOnce(const QString& url) const override;

    // The French sentence for a result, naming the HTTP status, the target or its folder.
    // `detail`, when given, is the cause's own sentence (a certificate, a proxy, a redirect).
    static QString DescribeFailure(int result, int httpStatus, const QString& target, const QString& detail = {});

private:
    struct Running;
    QNetworkAccessManager& Network(); // made at the first download

    TransferTuning tuning_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::unique_ptr<SslTrust> trust_; // the authorities added by SSL_CERT_FILE / SSL_CERT_DIR
    std::map<const Running*, std::unique_ptr<Running>> running_; // goes before the manager
    QSet<QString> multiplexingHosts_;                            // "host:port" found speaking HTTP/2
    QString label_;
    QString description_;
    QString lastError_;
};

} // namespace lectoria
