#pragma once

#include "transfer/transfer_library.h"

#include <QString>
#include <QUrl>
#include <chrono>

namespace lectoria {

// Time limits and retry pauses; tests shorten them.
struct TransferTuning {
    std::chrono::milliseconds stallTimeout{30000};   // no byte (nor connection) for this long aborts
    std::chrono::milliseconds firstRetryPause{1000}; // then twice as long, then four times
    int maxRetries = 3;
    int maxRedirects = 10;
    bool waitForCloseOnFailure = true; // the window keeps the cause on screen until "Fermer"
};

// Our download library on QNetworkAccessManager. The body streams into a temporary file beside
// the target, which replaces the target in one rename only once the transfer is complete and
// holds a PDF; on any failure the target is left exactly as it was.
class HttpTransferLibrary final : public TransferLibrary {
public:
    explicit HttpTransferLibrary(TransferTuning tuning = {});

    int IsConnected() override;
    void SetOption(const QString& name, const QString& value) override;
    void ClearFiles() override;
    int Download(QWidget* owner, const QString& url, const QString& file) override;
    QString LastError() const override { return lastError_; }

    // The French sentence for a result, naming the target's folder where it matters.
    static QString DescribeFailure(int result, int httpStatus, const QString& folder);

private:
    TransferTuning tuning_;
    QString label_;
    QString description_;
    QString lastError_;
};

} // namespace lectoria
