// Alone in its file: a program that defines MakeHistoryFetcher itself never links this one.
#include "update/history_fetcher.h"

namespace lectoria {

std::unique_ptr<HistoryFetcher> MakeHistoryFetcher(const FetchSettings& settings) {
    return std::make_unique<NetworkHistoryFetcher>(settings);
}

} // namespace lectoria
