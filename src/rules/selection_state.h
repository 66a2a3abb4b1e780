#pragma once

#include <QString>
#include <QtGlobal>

namespace lectoria {

// The one record of shared state. The program creates it once and hands it by reference
// to every operation; nothing else keeps a copy of the user's selection.
struct SelectionState {
    QString CityName;        // text of the selected city entry, empty when none
    qint16 CityIndex = 0;    // 1..10, 0 when no city is selected
    QString PaperName;       // "20 minutes" or "Metro"
    qint16 MaxAgeDays = 0;   // 7 or 14
    QString DayText;         // two digits
    QString MonthText;       // two digits
    QString YearText;        // not padded
    qint16 DateRejected = 0; // 1 when the last date check refused the day
    QString SaveFolder;
    QString DriveRoot; // first three characters of the folder last checked
    QString SourceUrl;
    QString TargetFile;
    qint16 DownloadResult = 0;
    QString AppVersion; // "1.1.8"
};

} // namespace lectoria
