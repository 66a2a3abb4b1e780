#include "update/history_fetcher.h"

#include <QEventLoop>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>

namespace lectoria {

namespace {
// Length of the UTF-8 sequence that `lead` starts, 0 for a continuation or invalid byte.
int Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 0;
}

// Drops an incomplete UTF-8 sequence left at the end by a cut.
void DropSplitCharacter(QByteArray& bytes) {
    for (qsizetype back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes.at(bytes.size() - back));
        if ((byte & 0xC0) == 0x80)
            continue; // continuation byte: look further back for the lead
        const int length = Utf8SequenceLength(byte);
        if (length > back)
            bytes.chop(back);
        return;
    }
}
} // namespace

QString DecodeHistoryBytes(QByteArray bytes, bool cut) {
    QByteArray utf8 = bytes;
    if (cut)
        DropSplitCharacter(utf8);
    // Stateless: bytes left over at the end are an error, not a character still to come.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(utf8);
    if (!decoder.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

NetworkHistoryFetcher::NetworkHistoryFetcher(FetchSettings settings) : settings_(settings) {}

NetworkHistoryFetcher::~NetworkHistoryFetcher() {
    *alive_ = false;
    Cancel();
}

void NetworkHistoryFetcher::Cancel() {
    if (cancel_)
        cancel_();
}

FetchResult NetworkHistoryFetcher::Fetch(const QUrl& url) {
    Cancel(); // one transfer at a time
    if (!manager_) {
        QNetworkProxyFactory::setUseSystemConfiguration(true); // system settings, or http_proxy
        manager_ = std::make_unique<QNetworkAccessManager>();
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QPointer<QNetworkReply> reply = manager_->get(request);

    QEventLoop loop;
    QByteArray body;
    bool cut = false;
    bool cancelled = false;
    bool timedOut = false;
    const qint64 maxBytes = settings_.maxBytes;

    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        if (reply)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->read(maxBytes - body.size());
        if (body.size() >= maxBytes) {
            cut = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The manager, and the reply with it, goes away when this fetcher is destroyed.
    QObject::connect(reply, &QObject::destroyed, &loop, &QEventLoop::quit);
    cancel_ = [&] {
        cancelled = true;
        if (reply)
            reply->abort();
        loop.quit();
    };

    const std::shared_ptr<bool> alive = alive_;
    deadline.start(settings_.timeout);
    if (reply && !reply->isFinished())
        loop.exec();
    if (!*alive)
        return {FetchStatus::Cancelled, {}};
    cancel_ = nullptr;

    FetchResult result;
    if (cancelled) {
        result.status = FetchStatus::Cancelled;
    } else if (!timedOut && reply && (cut || reply->error() == QNetworkReply::NoError)) {
        if (!cut) {
            body += reply->read(maxBytes - body.size());
            cut = reply->bytesAvailable() > 0;
        }
        result.status = FetchStatus::Completed;
        result.text = DecodeHistoryBytes(body, cut);
    }
    if (reply) {
        reply->disconnect(&loop);
        reply->abort();
        reply->deleteLater();
    }
    return result;
}

} // namespace lectoria

namespace lectoria {

std::unique_ptr<HistoryFetcher> MakeHistoryFetcher(const FetchSettings& settings) {
    return std::make_unique<NetworkHistoryFetcher>(settings);
}

} // namespace lectoria
