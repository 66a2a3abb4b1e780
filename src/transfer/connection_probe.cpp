#include "transfer/connection_probe.h"

#include <QHostAddress>
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

bool IsLoopbackHost(const QString& host) {
    const QString name = host.toLower();
    if (name == QLatin1String("localhost") || name.endsWith(QLatin1String(".localhost")))
        return true;
    const QHostAddress address(name);
    if (address.isNull())
        return false;
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    return address.isLoopback() || (mapped && (ipv4 >> 24) == 127);
}

bool ProbeConnection(const QUrl& target) {
    const QString forced = qEnvironmentVariable("LECTORIA_CONNEXION");
    if (forced == QLatin1String("absente"))
        return false;
    if (forced == QLatin1String("presente"))
        return true;
    if (IsLoopbackHost(target.host()))
        return true;
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        const auto reachability = QNetworkInformation::instance()->reachability();
        if (reachability != QNetworkInformation::Reachability::Unknown)
            return reachability != QNetworkInformation::Reachability::Disconnected;
    }
    return AnyInterfaceUp();
}

} // namespace lectoria
