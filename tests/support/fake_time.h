#pragma once

// A program run with "now" fixed to a given local time, through libfaketime loaded directly.
// The faketime wrapper is not used: it names a semaphore after its own process id, and one left
// by a wrapper killed earlier on the same machine makes a later wrapper with a recycled id fail.
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QString>

namespace lectoria::testing_support {

// Debian puts the library under its multiarch folder; empty when faketime is not installed.
inline QString FakeTimeLibrary() {
    for (const QString& folder : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString library = QStringLiteral("/usr/lib/%1/faketime/libfaketime.so.1").arg(folder);
        if (QFileInfo::exists(library))
            return library;
    }
    return {};
}

// `when` as "YYYY-MM-DD hh:mm:ss": the clock starts there and runs on.
inline void FixTheClock(QProcessEnvironment& env, const QString& when) {
    const QString preload = env.value(QStringLiteral("LD_PRELOAD"));
    env.insert(QStringLiteral("LD_PRELOAD"),
               preload.isEmpty() ? FakeTimeLibrary() : preload + QLatin1Char(':') + FakeTimeLibrary());
    env.insert(QStringLiteral("FAKETIME"), QLatin1Char('@') + when);
}

} // namespace lectoria::testing_support
