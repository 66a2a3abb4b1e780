#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>

namespace lectoria {

enum class FetchStatus {
    Completed, // the text is the resource's content (possibly cut at the size limit)
    Failed,    // no network, refused, time-out, HTTP error: the text is empty
    Cancelled, // Cancel() was called while the fetch was waiting: the text is empty
};

struct FetchResult {
    FetchStatus status = FetchStatus::Failed;
    QString text;
};

// Fetches a small text resource and returns its whole content. Fetch() returns only when the
// transfer has ended; the caller's event loop keeps running meanwhile, so Cancel() can be
// called from an event handler while a Fetch() is waiting.
class HistoryFetcher {
public:
    virtual ~HistoryFetcher() = default;
    virtual FetchResult Fetch(const QUrl& url) = 0;
    virtual void Cancel() = 0; // stops the transfer in progress, if any
};

struct FetchSettings {
    std::chrono::milliseconds timeout{15000}; // for the whole transfer
    qint64 maxBytes = 1024 * 1024;            // more is not read
};

// The content as text: UTF-8 when it is valid UTF-8 (an initial BOM is dropped), Latin-1
// otherwise. `cut` says the bytes were stopped at the size limit, so a character split there
// is dropped rather than making the whole text invalid.
QString DecodeHistoryBytes(QByteArray bytes, bool cut);

// HTTP GET with QNetworkAccessManager, waiting in a local event loop. The manager and the
// system's proxy settings are set up at the first fetch, not when the About window opens.
class NetworkHistoryFetcher final : public HistoryFetcher {
public:
    explicit NetworkHistoryFetcher(FetchSettings settings = {});
    ~NetworkHistoryFetcher() override;
    FetchResult Fetch(const QUrl& url) override;
    void Cancel() override;

private:
    FetchSettings settings_;
    std::unique_ptr<QNetworkAccessManager> manager_; // from the first Fetch() on
    std::function<void()> cancel_;                   // set while a Fetch() waits
    // Shared with a waiting Fetch(), which learns from it that this object has gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The fetcher of the About window's update check: a NetworkHistoryFetcher.
std::unique_ptr<HistoryFetcher> MakeHistoryFetcher(const FetchSettings& settings);

} // namespace lectoria
