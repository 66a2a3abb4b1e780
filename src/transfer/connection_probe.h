#pragma once

namespace lectoria {

// True when the machine seems to reach a network: the system's reachability where Qt has a
// backend, otherwise any non-loopback interface that is up, running and has an address.
// LECTORIA_CONNEXION=absente|presente forces the answer.
bool ProbeConnection();

} // namespace lectoria
