#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace lectoria::cli {

// Exit statuses of lectoria-cli; scripts rely on them.
namespace ExitStatus {
inline constexpr int Success = 0;
inline constexpr int BadCommandLine = 2;
inline constexpr int Refused = 3;
inline constexpr int NoConnection = 4;
inline constexpr int TransferFailed = 5;
} // namespace ExitStatus

// "20 minutes", "20minutes" or "metro", in any case, to the paper's own name.
std::optional<QString> PaperFromArgument(const QString& argument);

// A city of the list, in any case, to its name as listed.
std::optional<QString> CityFromArgument(const QString& argument);

// A day written AAAA-MM-JJ.
std::optional<QDate> DateFromArgument(const QString& argument);

} // namespace lectoria::cli
