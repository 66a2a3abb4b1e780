// lectoria's side of the network module: it opens liblectoria-reseau beside the program (in the
// build folder) or in ../lib/lectoria (installed), at the first download or update check.
#include "network_module.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <cstdio>

namespace lectoria {

namespace {

QFunctionPointer Resolve(const char* symbol) {
    static QLibrary* module = [] {
        const QString folder = QCoreApplication::applicationDirPath();
        const QString name = QStringLiteral("liblectoria-reseau.so");
        QStringList errors;
        for (const QString& candidate : {folder + u'/' + name, folder + QStringLiteral("/../lib/lectoria/") + name}) {
            if (!QFileInfo::exists(candidate))
                continue;
            auto* library = new QLibrary(candidate);
            if (library->load())
                return library; // kept for the life of the process
            errors << library->errorString();
            delete library;
        }
        if (errors.isEmpty())
            errors << QStringLiteral("%1 introuvable à côté du programme ni dans ../lib/lectoria").arg(name);
        std::fprintf(stderr, "lectoria : %s\n", qPrintable(errors.join(QStringLiteral(" ; "))));
        return static_cast<QLibrary*>(nullptr);
    }();
    return module ? module->resolve(symbol) : nullptr;
}

// The update check's fetcher, opened from the module at its first fetch.
class DeferredHistoryFetcher final : public HistoryFetcher {
public:
    explicit DeferredHistoryFetcher(const FetchSettings& settings) : settings_(settings) {}
    FetchResult Fetch(const QUrl& url) override {
        if (!real_) {
            const auto make = reinterpret_cast<LectoriaMakeFetcher>(Resolve("lectoria_reseau_historique"));
            if (!make)
                return {FetchStatus::Failed, {}};
            real_.reset(make(&settings_));
        }
        return real_->Fetch(url);
    }
    void Cancel() override {
        if (real_)
            real_->Cancel();
    }

private:
    FetchSettings settings_;
    std::unique_ptr<HistoryFetcher> real_;
};

} // namespace

// Replaces the update library's own definition in this program.
std::unique_ptr<HistoryFetcher> MakeHistoryFetcher(const FetchSettings& settings) {
    return std::make_unique<DeferredHistoryFetcher>(settings);
}

DeferredTransferLibrary::DeferredTransferLibrary() = default;
DeferredTransferLibrary::~DeferredTransferLibrary() = default;

TransferLibrary* DeferredTransferLibrary::Real() {
    if (!real_) {
        const auto make = reinterpret_cast<LectoriaMakeTransfer>(Resolve("lectoria_reseau_transfert"));
        if (!make)
            return nullptr;
        real_.reset(make());
        real_->SetOption(QStringLiteral("label"), options_[0]);
        real_->SetOption(QStringLiteral("description"), options_[1]);
    }
    return real_.get();
}

int DeferredTransferLibrary::IsConnected(const QString& url) {
    TransferLibrary* real = Real();
    return real ? real->IsConnected(url) : TransferResult::NotConnected;
}

void DeferredTransferLibrary::SetOption(const QString& name, const QString& value) {
    if (name == QLatin1String("label"))
        options_[0] = value;
    else if (name == QLatin1String("description"))
        options_[1] = value;
    if (real_)
        real_->SetOption(name, value);
}

void DeferredTransferLibrary::ClearFiles() {
    if (TransferLibrary* real = Real())
        real->ClearFiles();
}

int DeferredTransferLibrary::Download(QWidget* owner, const QString& url, const QString& file) {
    TransferLibrary* real = Real();
    return real ? real->Download(owner, url, file) : TransferResult::NotConnected;
}

QString DeferredTransferLibrary::LastError() const {
    return real_ ? real_->LastError()
                 : QStringLiteral("Le module réseau de Lectoria (liblectoria-reseau) est introuvable.");
}

} // namespace lectoria
