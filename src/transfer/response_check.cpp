#include "transfer/response_check.h"

#include "transfer/transfer_library.h"

#include <QHostAddress>
#include <algorithm>

namespace lectoria {

namespace {

const QByteArray kPdfStart("%PDF-");
const QByteArray kPdfEnd("%%EOF");
constexpr qsizetype kTailSize = 1024;

bool IsDigits(const QByteArray& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole number of plain ASCII digits that fits in 63 bits.
std::optional<qint64> Number(const QByteArray& text) {
    if (!IsDigits(text))
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

} // namespace

bool IsSuccessStatus(int status) {
    return status >= 200 && status < 300;
}

bool IsTransientStatus(int status) {
    return status == 408 || status == 429 || status == 502 || status == 503 || status == 504;
}

qint64 AnnouncedLength(const RawHeaders& headers) {
    qint64 length = -1;
    for (const auto& [name, value] : headers) {
        if (name.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        if (const auto parsed = Number(value.trimmed()))
            length = *parsed;
    }
    return length;
}

bool IsIdentityEncoding(const QByteArray& contentEncoding) {
    const QByteArray coding = contentEncoding.trimmed();
    return coding.isEmpty() || coding.compare("identity", Qt::CaseInsensitive) == 0;
}

std::optional<qint64> RetryAfterSeconds(const QByteArray& value, const QDateTime& now) {
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (IsDigits(text))
        return Number(text); // too large for 63 bits: nothing usable
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(text), Qt::RFC2822Date);
    if (!when.isValid())
        return std::nullopt;
    return qMax<qint64>(0, now.secsTo(when));
}

std::optional<ContentRange> ParseContentRange(const QByteArray& value) {
    // "bytes <first>-<last>/<total or *>"
    const QByteArray text = value.trimmed();
    if (!text.startsWith("bytes") || text.size() < 6 || (text[5] != ' ' && text[5] != '\t'))
        return std::nullopt;
    const QByteArray bounds = text.mid(6).trimmed();
    const qsizetype dash = bounds.indexOf('-');
    const qsizetype slash = bounds.indexOf('/');
    if (dash < 0 || slash < dash)
        return std::nullopt;
    const auto first = Number(bounds.left(dash));
    const auto last = Number(bounds.mid(dash + 1, slash - dash - 1));
    const QByteArray totalText = bounds.mid(slash + 1);
    const auto total = totalText == "*" ? std::optional<qint64>(-1) : Number(totalText);
    if (!first || !last || !total)
        return std::nullopt;
    return ContentRange{*first, *last, *total};
}

bool ContinuesAt(const std::optional<ContentRange>& range, qint64 held, qint64 knownTotal) {
    return range && held > 0 && range->first == held && range->first <= range->last && range->total > 0 &&
           range->last == range->total - 1 && (knownTotal < 0 || knownTotal == range->total);
}

bool IsHtmlType(const QByteArray& contentType) {
    const QByteArray type = contentType.split(';').first().trimmed().toLower();
    return type == "text/html" || type == "application/xhtml+xml";
}

bool LooksLikeHtml(const QByteArray& bodyStart) {
    QByteArray start = bodyStart.startsWith("\xEF\xBB\xBF") ? bodyStart.mid(3) : bodyStart;
    start = start.trimmed().left(64).toLower();
    for (const char* opening : {"<!doctype html", "<html", "<head", "<body", "<!--", "<meta", "<title"})
        if (start.startsWith(opening))
            return true;
    return false;
}

bool SameSite(const QString& archive, const QString& landed) {
    if (archive.compare(landed, Qt::CaseInsensitive) == 0)
        return true;
    if (!QHostAddress(archive).isNull() || !QHostAddress(landed).isNull())
        return false;
    const auto site = [](const QString& host) {
        const QStringList labels = host.toLower().split(QLatin1Char('.'), Qt::SkipEmptyParts);
        return labels.size() < 2 ? QString() : labels.mid(labels.size() - 2).join(QLatin1Char('.'));
    };
    const QString ours = site(archive);
    return !ours.isEmpty() && ours == site(landed);
}

bool ReceivedBody::Add(const QByteArray& chunk) {
    if (head.size() < kPdfStart.size()) {
        head += chunk.left(kPdfStart.size() - head.size());
        if (!kPdfStart.startsWith(head))
            return false;
    }
    received += chunk.size();
    tail = chunk.size() >= kTailSize ? chunk.right(kTailSize) : (tail + chunk).right(kTailSize);
    return true;
}

bool ReceivedBody::Continue(qint64 size, const QByteArray& firstBytes, const QByteArray& lastBytes,
                            const QByteArray& heldValidator, qint64 heldTotal) {
    const QByteArray start = firstBytes.left(kPdfStart.size());
    if (size <= 0 || start.isEmpty() || !kPdfStart.startsWith(start) ||
        (start.size() < kPdfStart.size() && size != start.size()))
        return false;
    *this = ReceivedBody();
    received = size;
    head = start;
    tail = lastBytes.right(kTailSize);
    validator = heldValidator;
    total = heldTotal;
    return true;
}

BodyVerdict JudgeBody(const ReceivedBody& body) {
    if (body.total >= 0 && body.received != body.total)
        return {TransferResult::Truncated, body.received < body.total};
    if (!body.head.startsWith(kPdfStart))
        return {TransferResult::NotPdf, false};
    if (!body.tail.contains(kPdfEnd))
        return {TransferResult::Truncated, false};
    return {TransferResult::Downloaded, false};
}

} // namespace lectoria
