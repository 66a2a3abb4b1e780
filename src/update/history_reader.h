#pragma once

#include <QString>

namespace lectoria {

enum class HistoryVerdict { MarkerMissing, FieldUnreadable, UpToDate, Different };

struct HistoryReading {
    HistoryVerdict verdict = HistoryVerdict::MarkerMissing;
    QString latestVersion; // the text between the first "*" and the TAB after it
};

// Reads the update server's history text and compares its version field with appVersion.
HistoryReading ReadHistory(const QString& historyText, const QString& appVersion);

} // namespace lectoria
