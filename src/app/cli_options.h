#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>

namespace lectoria::cli {

// Exit statuses of lectoria-cli; scripts rely on them.
namespace ExitStatus {
inline constexpr int Success = 0;
inline constexpr int BadCommandLine = 2;
inline constexpr int Refused = 3;
inline constexpr int NoConnection = 4;
inline constexpr int TransferFailed = 5;
inline constexpr int FolderBusy = 6;     // another run kept the folder's lock
inline constexpr int ScheduleFailed = 7; // the daily timer could not be set or removed
} // namespace ExitStatus

// "20 minutes", "20minutes" or "metro", in any case, to the paper's own name.
std::optional<QString> PaperFromArgument(const QString& argument);

// A city of the list, in any case, to its name as listed.
std::optional<QString> CityFromArgument(const QString& argument);

// Every --journal (or --ville) value, each possibly a comma list, "tous"/"toutes" for all:
// the names in list order without repeats. The first unknown word when there is one.
struct NameList {
    QStringList names;
    QString unknown;
};
NameList PapersFromArguments(const QStringList& values);
NameList CitiesFromArguments(const QStringList& values);

// HH:MM on a 24-hour clock.
std::optional<QTime> TimeFromArgument(const QString& argument);

// A whole number of days, 0 to 3650.
std::optional<int> DaysFromArgument(const QString& argument);

// A day written AAAA-MM-JJ.
std::optional<QDate> DateFromArgument(const QString& argument);

} // namespace lectoria::cli
