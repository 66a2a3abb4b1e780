#pragma once

#include "transfer/http_transfer_library.h"

#include <chrono>

namespace lectoria {

// No pause between tries, no wait for a "Fermer" click. The waits stay generous: a loaded or
// slow machine must never take a server that answers for a silent one; a case that expects a
// silence sets its own short wait.
inline TransferTuning FastTuning() {
    TransferTuning tuning;
    tuning.connectTimeout = std::chrono::seconds(10);
    tuning.stallTimeout = std::chrono::seconds(10);
    tuning.firstRetryPause = std::chrono::milliseconds(10);
    tuning.waitForCloseOnFailure = false;
    return tuning;
}

} // namespace lectoria
