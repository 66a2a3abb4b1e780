#pragma once

#include <QString>
#include <QUrl>

namespace lectoria {

// True when `target` can be reached: always for an address on this machine (a loopback address
// or localhost, such as the sample archive), which needs no network; otherwise when the machine
// seems to reach a network: the system's reachability where Qt has a backend, else any
// non-loopback interface that is up, running and has an address.
// LECTORIA_CONNEXION=absente|presente forces the answer.
bool ProbeConnection(const QUrl& target);

// localhost, *.localhost, 127.0.0.0/8, ::1 and ::ffff:127.x.y.z.
bool IsLoopbackHost(const QString& host);

} // namespace lectoria
