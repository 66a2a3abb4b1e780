#pragma once

// Tests that need a file system or a network of their own run their program under unshare(1)
// in new user namespaces; containers and hardened kernels may refuse them.
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace lectoria::testing_support {

// unshare's path when `unshare <options> true` works here (for instance "-rm": a mount namespace
// where the test may mount a tmpfs; "-rn": a network of its own), empty otherwise.
inline QString UnshareAllowing(const QString& options) {
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty())
        return {};
    QProcess probe;
    probe.start(unshare, {options, QStringLiteral("true")});
    const bool works =
        probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    return works ? unshare : QString();
}

} // namespace lectoria::testing_support
