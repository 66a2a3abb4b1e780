#include "open_handles.h"

#include <QDir>

namespace lectoria::testing_support {

long OpenHandleCount() {
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
        .size();
}

} // namespace lectoria::testing_support
