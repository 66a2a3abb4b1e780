// liblectoria-reseau: the network code of the window program (the download library, the
// connection test, the update check's fetcher) with Qt Network and what it pulls in (libproxy,
// Kerberos, ...). lectoria opens it at its first download or update check, so that none of it
// is loaded before the window is on the screen.
#include "network_module.h"

#include "transfer/http_transfer_library.h"
#include "update/history_fetcher.h"

extern "C" Q_DECL_EXPORT lectoria::TransferLibrary* lectoria_reseau_transfert() {
    return new lectoria::HttpTransferLibrary;
}

extern "C" Q_DECL_EXPORT lectoria::HistoryFetcher* lectoria_reseau_historique(const lectoria::FetchSettings* settings) {
    return new lectoria::NetworkHistoryFetcher(*settings);
}
