#pragma once

#include <QString>

namespace lectoria {

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 8;

// Major.Minor.Revision in plain decimal: "1.1.8".
inline QString VersionText() {
    return QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}

inline QString ApplicationTitle() {
    return QStringLiteral("Lectoria");
}

// "Lectoria v1.1.8", the main window's caption and the About window's name line.
inline QString NameAndVersion() {
    return QStringLiteral("Lectoria v") + VersionText();
}

} // namespace lectoria
