#include "download/download_action.h"

#include "rules/date_check.h"
#include "rules/editions.h"

#include <QFileInfo>
#include <QLocale>

namespace lectoria {

namespace {
const QString kErrorTitle = QStringLiteral("Erreur");
} // namespace

bool SystemFileLookup::Exists(const QString& path) {
    // Folders and ordinary files both count; a path the file system cannot answer for is
    // simply not found.
    return !path.isEmpty() && QFileInfo::exists(path);
}

QString EditionDateText(const QDate& day) {
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C)
        return day.toString(QStringLiteral("dd/MM/yyyy"));
    return locale.toString(day, QLocale::ShortFormat);
}

void DownloadSelectedEdition(SelectionState& state, DownloadContext& context) {
    CheckSelectedDate(state, context.calendar, context.clock, context.messages);
    // The address and the file name are built from the date parts: they must describe the day the
    // calendar shows now, after a refusal that put it back on today as after any earlier move.
    RefreshDateParts(state, context.calendar.Day(), context.calendar.Month(), context.calendar.Year());
    if (state.DateRejected == 1)
        return;
    if (state.CityIndex < 1) {
        context.messages.Show(QStringLiteral("Veuillez sélectionner une ville."), MessageStyle::Exclamation,
                              kErrorTitle);
        return;
    }
    if (!IsPaperDistributed(state.PaperName, state.CityName)) {
        context.messages.Show(QStringLiteral("Journal non distribué dans la ville sélectionnée"),
                              MessageStyle::Information, QStringLiteral("Info"));
        return;
    }
    if (!CheckFolderDrive(state, state.SaveFolder, context.drives)) {
        context.messages.Show(kDriveRefusedText, MessageStyle::Critical, kDriveRefusedTitle);
        state.SaveFolder = context.folderBox.Text();
        return;
    }
    if (state.SaveFolder.isEmpty() || !context.files.Exists(state.SaveFolder)) {
        context.messages.Show(QStringLiteral("Veuillez indiquer un dossier d'enregistrement valide"),
                              MessageStyle::Exclamation, kErrorTitle);
        return;
    }

    BuildSourceUrl(state, context.archives);
    BuildTargetFile(state);

    if (context.transfer.IsConnected(state.SourceUrl) == 0) {
        context.messages.Show(QStringLiteral("Pas de connexion internet disponible"), MessageStyle::Exclamation,
                              kErrorTitle);
        return;
    }
    context.transfer.SetOption(QStringLiteral("label"), QStringLiteral("Téléchargement en cours"));
    context.transfer.SetOption(QStringLiteral("description"), state.PaperName + QStringLiteral(" édition ") +
                                                                  state.CityName + QStringLiteral(" du ") +
                                                                  EditionDateText(context.calendar.Value()));
    context.transfer.ClearFiles();
    state.DownloadResult =
        static_cast<qint16>(context.transfer.Download(context.owner, state.SourceUrl, state.TargetFile));

    if (state.DownloadResult == TransferResult::Downloaded)
        context.messages.Show(SuccessMessage(state, context.calendar.Value()), MessageStyle::Ok, QString());
}

QString SuccessMessage(const SelectionState& state, const QDate& day) {
    return QStringLiteral("Téléchargement de ") + state.PaperName + QStringLiteral(" du ") + EditionDateText(day) +
           QStringLiteral(" réussi.");
}

} // namespace lectoria
