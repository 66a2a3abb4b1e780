// The transfer's reading of an answer, without the network. The input is an answer written out:
// five lines (status, Content-Length values separated by "|", Content-Range, Retry-After,
// Content-Encoding), then the body. A body is received the way the transfer receives it: the
// bytes before the Content-Range start come in an earlier attempt, the rest in this answer.
#include "fuzz_support.h"
#include "transfer/response_check.h"
#include "transfer/transfer_library.h"

#include <QTimeZone>

using namespace lectoria;

namespace {

const QByteArray kPdfStart("%PDF-");

bool IsDigits(const QByteArray& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<qint64> WholeNumber(const QByteArray& text) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return IsDigits(text) && ok ? std::optional<qint64>(value) : std::nullopt;
}

void CheckLength(const QByteArray& line) {
    RawHeaders headers{{"Content-Type", "application/pdf"}};
    std::optional<qint64> lastUsable;
    bool lower = false;
    for (const QByteArray& value : line.split('|')) {
        headers.append({lower ? "content-length" : "Content-Length", value});
        lower = !lower;
        if (const auto number = WholeNumber(value.trimmed()))
            lastUsable = number;
    }
    LECTORIA_REQUIRE(AnnouncedLength(headers) == lastUsable.value_or(-1));
}

void CheckRetryAfter(const QByteArray& value) {
    const QDateTime now(QDate(2026, 12, 7), QTime(12, 0), QTimeZone::utc());
    const auto seconds = RetryAfterSeconds(value, now);
    LECTORIA_REQUIRE(!seconds || *seconds >= 0); // a date in the past means now, never a negative wait
    if (IsDigits(value.trimmed()))
        LECTORIA_REQUIRE(seconds == WholeNumber(value.trimmed()));
    // The same delay written as an HTTP date comes back as the same number of seconds.
    const qint64 delay = qAbs(value.size() * 7919 % 100000);
    const QByteArray date = now.addSecs(delay).toString(Qt::RFC2822Date).toLatin1();
    LECTORIA_REQUIRE(RetryAfterSeconds(date, now) == delay);
}

void CheckRange(const std::optional<ContentRange>& range) {
    if (!range)
        return;
    LECTORIA_REQUIRE(range->first >= 0 && range->last >= 0 && range->total >= -1);
    const QByteArray written = "bytes " + QByteArray::number(range->first) + '-' + QByteArray::number(range->last) +
                               '/' + (range->total < 0 ? QByteArray("*") : QByteArray::number(range->total));
    const auto again = ParseContentRange(written);
    LECTORIA_REQUIRE(again && again->first == range->first && again->last == range->last &&
                     again->total == range->total);
}

// What the body must add up to: the bytes kept, their start and their last KiB.
struct Expected {
    QByteArray kept;
    bool refused = false;
};

void Feed(ReceivedBody& body, Expected& expected, const QByteArray& bytes, qsizetype chunkSize) {
    for (qsizetype at = 0; at < bytes.size() && !expected.refused; at += chunkSize) {
        const QByteArray chunk = bytes.mid(at, chunkSize);
        const bool accepted = body.Add(chunk);
        const QByteArray start = (expected.kept + chunk).left(kPdfStart.size());
        LECTORIA_REQUIRE(accepted == kPdfStart.startsWith(start));
        if (!accepted) {
            expected.refused = true;
            return;
        }
        expected.kept += chunk;
        LECTORIA_REQUIRE(body.received == expected.kept.size());
        LECTORIA_REQUIRE(body.tail == expected.kept.right(1024));
    }
}

void CheckBody(int status, const QByteArray& lengths, const std::optional<ContentRange>& range,
               const QByteArray& bytes) {
    if (!IsSuccessStatus(status))
        return;
    const qsizetype chunkSize = 1 + (bytes.size() * 31 + qAbs(status)) % 1500;
    const qsizetype held = range ? qBound<qint64>(0, range->first, bytes.size()) : 0;

    ReceivedBody body;
    Expected expected;
    Feed(body, expected, bytes.left(held), chunkSize); // an earlier attempt, cut short
    if (expected.refused)
        return;
    if (status == 206) {
        if (!ContinuesAt(range, body.received, body.total)) {
            body.Reset();
            expected = {};
            return; // the transfer starts over
        }
        LECTORIA_REQUIRE(range->first == body.received && range->last == range->total - 1 && body.received > 0);
        body.total = range->total;
    } else {
        if (body.received > 0) {
            body.Reset();
            expected = {};
        }
        body.total = AnnouncedLength({{"Content-Length", lengths}});
    }
    Feed(body, expected, bytes.mid(held), chunkSize);
    if (expected.refused)
        return;

    const BodyVerdict verdict = JudgeBody(body);
    const bool complete = body.total < 0 || expected.kept.size() == body.total;
    const bool whole = complete && expected.kept.startsWith(kPdfStart) && expected.kept.right(1024).contains("%%EOF");
    LECTORIA_REQUIRE((verdict.result == TransferResult::Downloaded) == whole);
    LECTORIA_REQUIRE(verdict.transient == (!complete && expected.kept.size() < body.total));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray rest(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QByteArray lines[5];
    for (QByteArray& line : lines) {
        const qsizetype end = rest.indexOf('\n');
        line = end < 0 ? rest : rest.left(end);
        rest = end < 0 ? QByteArray() : rest.mid(end + 1);
    }
    const auto& [statusLine, lengthLine, rangeLine, retryLine, encodingLine] = lines;
    const int status = statusLine.trimmed().toInt();

    LECTORIA_REQUIRE(IsSuccessStatus(status) == (status >= 200 && status <= 299));
    LECTORIA_REQUIRE(!IsTransientStatus(status) || !IsSuccessStatus(status));
    if (IsIdentityEncoding(encodingLine))
        LECTORIA_REQUIRE(encodingLine.trimmed().isEmpty() ||
                         encodingLine.trimmed().compare("identity", Qt::CaseInsensitive) == 0);
    CheckLength(lengthLine);
    CheckRetryAfter(retryLine);
    const auto range = ParseContentRange(rangeLine);
    CheckRange(range);
    CheckBody(status, lengthLine, range, rest);
    return 0;
}
