#pragma once

#include "transfer/file_writer.h"
#include "transfer/transfer_library.h"

#include <QString>
#include <chrono>
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

// Our download library on QNetworkAccessManager: one manager for the library's whole life, so
// that the connections the server keeps open serve the next editions and retries too. The body streams into a temporary
// file beside the target, which replaces the target in one rename only once the transfer is complete and holds a PDF;
// on any failure the target is left exactly as it was.
//
// The connection test honours LECTORIA_CONNEXION=absente|presente, a diagnostic switch that
// forces its answer (used by the black-box tests of the command line).
class HttpTransferLibrary final : public TransferLibrary {
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

    // The French sentence for a result, naming the HTTP status, the target or its folder.
    // `detail`, when given, is the cause's own sentence (a certificate, a proxy, a redirect).
    static QString DescribeFailure(int result, int httpStatus, const QString& target, const QString& detail = {});

private:
    QNetworkAccessManager& Network(); // made at the first download

    TransferTuning tuning_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::unique_ptr<SslTrust> trust_; // the authorities added by SSL_CERT_FILE / SSL_CERT_DIR
    QString label_;
    QString description_;
    QString lastError_;
};

} // namespace lectoria
