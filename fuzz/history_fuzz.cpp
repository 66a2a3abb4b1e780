// The update server's history text: bytes decoded as the About window decodes them, then read
// against the program's own version and against the version the text names.
#include "fuzz_support.h"
#include "rules/version.h"
#include "update/history_fetcher.h"
#include "update/history_reader.h"

using namespace lectoria;

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

// Valid UTF-8 decodes and encodes back to the same bytes (but for one initial BOM, which
// QString::fromUtf8 drops); anything else gains U+FFFD.
bool IsValidUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).toUtf8() == (bytes.startsWith(kBom) ? bytes.mid(3) : bytes);
}

void CheckDecoding(const QByteArray& bytes, qsizetype cutAt) {
    const QString whole = DecodeHistoryBytes(bytes, false);
    if (IsValidUtf8(bytes)) {
        LECTORIA_REQUIRE(whole == QString::fromUtf8(bytes)); // one initial BOM dropped, no other
        // A transfer stopped at the size limit may split the last character: the rest is still
        // read as UTF-8, never thrown to the Latin-1 reading.
        const QString cut = DecodeHistoryBytes(bytes.left(cutAt), true);
        LECTORIA_REQUIRE(whole.startsWith(cut));
        const qsizetype bom = bytes.startsWith(kBom) && cutAt >= 3 ? 3 : 0;
        LECTORIA_REQUIRE(cut.toUtf8().size() >= cutAt - bom - 3); // at most the split character is lost
        LECTORIA_REQUIRE(DecodeHistoryBytes(bytes, true) == whole);
    } else {
        LECTORIA_REQUIRE(whole == QString::fromLatin1(bytes));
    }
}

void CheckReading(const QString& text, const QString& appVersion) {
    const HistoryReading reading = ReadHistory(text, appVersion);
    const qsizetype marker = text.indexOf(kHistoryMarker);
    LECTORIA_REQUIRE((reading.verdict == HistoryVerdict::MarkerMissing) == (marker < 0));
    LECTORIA_REQUIRE(!reading.markerBeyondLimit ||
                     (reading.verdict == HistoryVerdict::FieldUnreadable && marker >= kHistoryPositionLimit));
    if (reading.verdict != HistoryVerdict::UpToDate && reading.verdict != HistoryVerdict::Different) {
        LECTORIA_REQUIRE(reading.latestVersion.isEmpty());
        return;
    }
    // The field is the text between the first "*" and the TAB after it, all within 16-bit positions.
    const qsizetype star = text.indexOf(QLatin1Char('*'));
    LECTORIA_REQUIRE(star >= 0 && marker < kHistoryPositionLimit);
    LECTORIA_REQUIRE(!reading.latestVersion.contains(QLatin1Char('\t')));
    LECTORIA_REQUIRE(text.mid(star + 1).startsWith(reading.latestVersion + QLatin1Char('\t')));
    LECTORIA_REQUIRE(star + 1 + reading.latestVersion.size() < kHistoryPositionLimit);
    LECTORIA_REQUIRE((reading.verdict == HistoryVerdict::UpToDate) == (reading.latestVersion == appVersion));
    if (reading.verdict == HistoryVerdict::Different)
        LECTORIA_REQUIRE(ReadHistory(text, reading.latestVersion).verdict == HistoryVerdict::UpToDate);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Where a size limit would have cut the same bytes: somewhere in the last few characters.
    const qsizetype cutAt = bytes.isEmpty() ? 0 : bytes.size() - static_cast<unsigned char>(bytes.back()) % 8;
    CheckDecoding(bytes, qMax<qsizetype>(0, cutAt));
    CheckReading(DecodeHistoryBytes(bytes, false), VersionText());
    return 0;
}
