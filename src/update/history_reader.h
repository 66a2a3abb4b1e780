#pragma once

#include <QString>

namespace lectoria {

enum class HistoryVerdict { MarkerMissing, FieldUnreadable, UpToDate, Different };

struct HistoryReading {
    HistoryVerdict verdict = HistoryVerdict::MarkerMissing;
    QString latestVersion; // the text between the first "*" and the TAB after it
    // FieldUnreadable only: the marker itself starts past the 16-bit limit, so the reading
    // stopped before the marker was placed (the check has not reached its second stage).
    bool markerBeyondLimit = false;
};

// Positions are 1-based and held in 16 bits: the marker, the first "*" and the TAB after it
// must all lie within the first 32767 characters.
inline constexpr qsizetype kHistoryPositionLimit = 32767;

inline constexpr QLatin1StringView kHistoryMarker{"Historique Lectoria"};

// Reads the update server's history text and compares its version field with appVersion.
// The marker may be anywhere; the field is the first "*" of the whole text up to the first
// TAB after it. No "*", no TAB after it, or a position past the limit: FieldUnreadable.
HistoryReading ReadHistory(const QString& historyText, const QString& appVersion);

} // namespace lectoria
