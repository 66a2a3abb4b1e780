#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <optional>

namespace lectoria {

// What the transfer makes of a server's answer, apart from the network: plain functions of the
// status, the header values and the body bytes, so that any answer can be fed to them directly.

using RawHeaders = QList<QPair<QByteArray, QByteArray>>;

bool IsSuccessStatus(int status);
bool IsTransientStatus(int status); // 408, 429, 502, 503, 504: worth another try

// The Content-Length of the final answer, -1 when there is none usable. After redirects Qt may
// keep an earlier hop's header beside it, so the last one given wins.
qint64 AnnouncedLength(const RawHeaders& headers);

// Whether the body is sent as stored: no Content-Encoding, or "identity". Anything else (gzip
// sent although we asked for the identity) cannot be checked against Content-Length.
bool IsIdentityEncoding(const QByteArray& contentEncoding);

// Retry-After as delay-seconds or as an HTTP date, seen from `now`.
std::optional<qint64> RetryAfterSeconds(const QByteArray& value, const QDateTime& now);

struct ContentRange {
    qint64 first = -1;
    qint64 last = -1;
    qint64 total = -1; // -1 for "*"
};
std::optional<ContentRange> ParseContentRange(const QByteArray& value);

// Whether a 206 answer holds exactly the rest of the `held` bytes of a file of `knownTotal`
// bytes (-1 when unknown): from byte `held` to the end of the file.
bool ContinuesAt(const std::optional<ContentRange>& range, qint64 held, qint64 knownTotal);

// Whether an answer is a web page: a Content-Type of HTML, or a body that opens like one (after
// blanks and a byte order mark). Many sites answer a missing file with their home page.
bool IsHtmlType(const QByteArray& contentType);
bool LooksLikeHtml(const QByteArray& bodyStart);

// Whether a redirect that ended on `landed` stayed on the archive's own site: the same host, or
// hosts sharing their last two labels (pdf.journal.fr and www.journal.fr). An address given as
// a number matches only itself.
bool SameSite(const QString& archive, const QString& landed);

// The edition's bytes as they come: the count, the first bytes and the last KiB.
struct ReceivedBody {
    qint64 received = 0;
    qint64 total = -1;    // the full size when the server told it
    QByteArray head;      // the first bytes, to recognise a PDF
    QByteArray tail;      // the last KiB, to find %%EOF
    QByteArray validator; // strong ETag or Last-Modified, for If-Range on a resume

    // Notes the next chunk; false as soon as the first bytes cannot begin a PDF.
    bool Add(const QByteArray& chunk);
    // Takes up `size` bytes already held, from their first bytes and their last KiB, of a file
    // announced as `heldTotal` bytes (-1: not known); false when they cannot begin a PDF (then
    // nothing is taken).
    bool Continue(qint64 size, const QByteArray& firstBytes, const QByteArray& lastBytes,
                  const QByteArray& heldValidator, qint64 heldTotal);
    void Reset() { *this = ReceivedBody(); }
};

struct BodyVerdict {
    int result;     // TransferResult::Downloaded, Truncated or NotPdf
    bool transient; // a retry may bring the rest
};

// The verdict on a body whose answer ended without a network error: every announced byte, a
// PDF's first bytes, and %%EOF in its last KiB (a PDF always ends with it, so a body cut short
// behind a wrong Content-Length or a chunked answer is not taken for the edition).
BodyVerdict JudgeBody(const ReceivedBody& body);

} // namespace lectoria
