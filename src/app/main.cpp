// lectoria: the main window.
#include "download/download_action.h"
#include "font_warm_up.h"
#ifdef LECTORIA_NETWORK_MODULE
#include "network_module.h"
#endif
#include "storage/configured_values.h"
#include "storage/drive_check.h"
#include "storage/folder_choice.h"
#include "storage/settings_store.h"
#include "transfer/http_transfer_library.h"
#include "transfer/qt_messages.h"
#include "ui/first_paint_marker.h"
#include "ui/logos.h"
#include "ui/main_window.h"
#include "ui/startup_style.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace lectoria;

int main(int argc, char** argv) {
    FontConfigurationWarmUp fonts;
    QApplication app(argc, argv);
    KeepQtDiagnosticsQuiet();
    QApplication::setApplicationName(QStringLiteral("Lectoria"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    // Ties the window to its menu entry and icon on Wayland (the application id).
    QGuiApplication::setDesktopFileName(QStringLiteral("fr.orvane.Lectoria"));
    QApplication::setWindowIcon(ApplicationIcon());
    // Qt's own buttons ("Oui", "Non", "Annuler") in French whatever the user's locale.
    QTranslator qtFrench;
    if (qtFrench.load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtFrench);
    QApplication::setStyle(new CalendarArrowsStyle); // before the calendar asks for its arrows

    SelectionState state;
    const auto settings = MakeUserSettingsStore();
    const SystemClock clock;
    const auto picker = MakeDialogFolderPicker();
    const auto drives = MakeSystemDriveQuery();
    SystemFileLookup files;
#ifdef LECTORIA_NETWORK_MODULE
    DeferredTransferLibrary transfer; // the network module is opened at the first download
#else
    HttpTransferLibrary transfer;
#endif
    fonts.Wait();
    frmLctr window(state,
                   {*settings, clock, *picker, *drives, files, transfer, LoadConfiguredArchiveSettings(), nullptr});
    window.show();
    FirstPaintMarker startupMarker;
    if (qEnvironmentVariableIsSet("LECTORIA_MESURE_DEMARRAGE"))
        window.installEventFilter(&startupMarker);
    return app.exec();
}
