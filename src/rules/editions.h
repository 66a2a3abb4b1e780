#pragma once

#include "rules/selection_state.h"

#include <QString>
#include <QStringList>

namespace lectoria {

inline const QString kTwentyMinutes = QStringLiteral("20 minutes");
inline const QString kMetro = QStringLiteral("Metro");

inline constexpr qint16 kTwentyMinutesMaxAgeDays = 7;
inline constexpr qint16 kMetroMaxAgeDays = 14;

// The two newspapers, in the order of their option buttons.
QStringList PaperNames();

// Age limit of a newspaper, 0 for a name that is not one of the two.
qint16 MaxAgeDaysOf(const QString& paperName);

// The ten cities, in list order; CityIndex is the position + 1.
const QStringList& CityNames();

// PaperName := caption, MaxAgeDays := its limit.
void SelectPaper(SelectionState& state, const QString& caption);

// CityName := the list's text, CityIndex := position + 1 (position -1 gives 0).
void SelectCity(SelectionState& state, const QString& text, int position);

// False only for "20 minutes" in Rennes or Nice and "Metro" in Nantes.
bool IsPaperDistributed(const QString& paperName, const QString& cityName);

// DayText and MonthText on two digits, YearText unpadded.
void RefreshDateParts(SelectionState& state, int day, int month, int year);

// First three characters of the city, in capitals: "Paris" gives "PAR".
QString CityCode(const QString& cityName);

} // namespace lectoria
