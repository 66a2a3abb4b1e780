#pragma once

#include "rules/addresses.h"
#include "rules/ports.h"
#include "rules/selection_state.h"
#include "storage/drive_check.h"
#include "storage/settings_store.h"
#include "transfer/transfer_library.h"

#include <QString>

class QWidget;

namespace lectoria {

// Whether a path names an existing entry, a folder or an ordinary file.
class FileLookup {
public:
    virtual ~FileLookup() = default;
    virtual bool Exists(const QString& path) = 0;
};

class SystemFileLookup final : public FileLookup {
public:
    bool Exists(const QString& path) override;
};

// The selected day as the user reads dates: the system's short format, dd/MM/yyyy where the
// locale is C or POSIX.
QString EditionDateText(const QDate& day);

// "Téléchargement de <paper> du <date> réussi."
QString SuccessMessage(const SelectionState& state, const QDate& day);

struct DownloadContext {
    QWidget* owner = nullptr; // owner of the progress window; null for the command line
    CalendarPort& calendar;
    const Clock& clock;
    MessageSink& messages;
    DriveQuery& drives;
    FileLookup& files;
    FolderBoxPort& folderBox;
    TransferLibrary& transfer;
    const ArchiveSettings& archives;
};

// The Download action: date, city, distribution, drive, folder; then the addresses, the
// connection test, the progress texts and the transfer; M6 on success.
void DownloadSelectedEdition(SelectionState& state, DownloadContext& context);

} // namespace lectoria
