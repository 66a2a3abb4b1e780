#pragma once

#include "rules/selection_state.h"

#include <QDate>
#include <QString>
#include <optional>

namespace lectoria {

// The two archive base addresses, read once at start (storage/configured_values.h: environment,
// then the user's settings, then the system-wide ones). Each ends with "/"; the Metro one
// ends with "/fr/divers/pdf/".
struct ArchiveSettings {
    QString MetroBaseUrl;
    QString TwentyMinutesBaseUrl;
};

inline const char* const kMetroUrlVariable = "LECTORIA_METRO_URL";
inline const char* const kTwentyMinutesUrlVariable = "LECTORIA_20MINUTES_URL";

// Built-in addresses: hosts under .invalid, so nothing is fetched from anyone by accident.
ArchiveSettings DefaultArchiveSettings();

// True for an http:// or https:// address with a host that ends with "/".
bool IsValidBaseUrl(const QString& url);

// What is wrong with a base address, as the end of a French sentence about it ("contient un
// espace…", "n'est pas une adresse http://…"); empty when it is valid.
QString BaseUrlFault(const QString& url);

// SourceUrl from the paper, the city, the date parts and the paper's base address.
// Any other paper name leaves SourceUrl as it was.
void BuildSourceUrl(SelectionState& state, const ArchiveSettings& archives);

// TargetFile := SaveFolder + separator + YYYYMMDD_<paper>_<city>.pdf. The separator is
// always added (a root folder gives a doubled one); it is "\" on Windows and "/" elsewhere.
void BuildTargetFile(SelectionState& state);

// "YYYYMMDD_<paper>_<city>.pdf", the file name alone.
QString EditionFileName(const SelectionState& state);

// The edition a file name stands for, when the name is exactly one that EditionFileName
// gives for a paper and a city of the lists and a real day; nothing for any other name.
struct EditionName {
    QString paperName;
    QString cityName;
    QDate day;
};
std::optional<EditionName> ParseEditionFileName(const QString& fileName);

QChar PathSeparator();

} // namespace lectoria
