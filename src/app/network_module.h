#pragma once

// The two entry points of liblectoria-reseau, the network module of the window program, and
// the window program's stand-ins that open it at their first use.
#include "transfer/transfer_library.h"
#include "update/history_fetcher.h"

#include <memory>

extern "C" {
using LectoriaMakeTransfer = lectoria::TransferLibrary* (*)();
using LectoriaMakeFetcher = lectoria::HistoryFetcher* (*)(const lectoria::FetchSettings*);
}

namespace lectoria {

// The download library, opened from the module at the first call. When the module cannot be
// opened the connection test answers "no connection" and the cause goes to the error output.
class DeferredTransferLibrary final : public TransferLibrary {
public:
    DeferredTransferLibrary();
    ~DeferredTransferLibrary() override;
    int IsConnected(const QString& url) override;
    void SetOption(const QString& name, const QString& value) override;
    void ClearFiles() override;
    int Download(QWidget* owner, const QString& url, const QString& file) override;
    QString LastError() const override;

private:
    TransferLibrary* Real();
    std::unique_ptr<TransferLibrary> real_;
    QString options_[2]; // label, description: kept until the module is open
};

} // namespace lectoria
