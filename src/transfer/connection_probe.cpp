#include "transfer/connection_probe.h"

#include <QNetworkInformation>
#include <QNetworkInterface>

namespace lectoria {

namespace {
bool AnyInterfaceUp() {
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& candidate : interfaces) {
        const auto flags = candidate.flags();
        if (flags.testFlag(QNetworkInterface::IsLoopBack) || !flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning))
            continue;
        if (!candidate.addressEntries().isEmpty())
            return true;
    }
    return false;
}
} // namespace

bool ProbeConnection() {
    const QString forced = qEnvironmentVariable("LECTORIA_CONNEXION");
    if (forced == QLatin1String("absente"))
        return false;
    if (forced == QLatin1String("presente"))
        return true;
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        const auto reachability = QNetworkInformation::instance()->reachability();
        if (reachability != QNetworkInformation::Reachability::Unknown)
            return reachability != QNetworkInformation::Reachability::Disconnected;
    }
    return AnyInterfaceUp();
}

} // namespace lectoria
