#include "update/history_reader.h"

namespace lectoria {

namespace {
// A 0-based index found by indexOf, as a 1-based position that must fit in 16 bits.
bool FitsAsPosition(qsizetype index) {
    return index >= 0 && index + 1 <= kHistoryPositionLimit;
}
} // namespace

HistoryReading ReadHistory(const QString& historyText, const QString& appVersion) {
    HistoryReading reading;
    const qsizetype marker = historyText.indexOf(kHistoryMarker);
    if (marker < 0)
        return reading;
    reading.verdict = HistoryVerdict::FieldUnreadable;
    if (!FitsAsPosition(marker)) {
        reading.markerBeyondLimit = true;
        return reading;
    }
    const qsizetype star = historyText.indexOf(QLatin1Char('*'));
    if (!FitsAsPosition(star))
        return reading;
    const qsizetype tab = historyText.indexOf(QLatin1Char('\t'), star);
    if (!FitsAsPosition(tab))
        return reading;
    reading.latestVersion = historyText.mid(star + 1, tab - star - 1);
    reading.verdict = reading.latestVersion == appVersion ? HistoryVerdict::UpToDate : HistoryVerdict::Different;
    return reading;
}

} // namespace lectoria
