// lectoria: the main window.
#include "download/download_action.h"
#include "font_warm_up.h"
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
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

using namespace lectoria;

namespace {

// What Qt says while it opens the display, kept until it is known whether it could.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> heldMessages;
std::mutex heldMessagesLock; // Qt may speak from its display reader's thread

// Without a display (a text console, ssh without X forwarding, a purged session) Qt's platform
// plugin gives up with a fatal message and aborts the program. That moment is the only fatal one
// while the application is built: the program then says why in French and ends with status 1, as
// its manual promises. Where a display was named, the cause may be another (a display that is
// gone, a missing library): Qt's own words are written first, so that it is not lost.
void HoldWhileOpening(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const std::lock_guard lock(heldMessagesLock);
    if (type == QtFatalMsg) {
        const bool displayNamed =
            !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
        if (displayNamed) {
            for (const HeldMessage& held : heldMessages)
                std::fprintf(stderr, "%s\n", qUtf8Printable(held.text));
            std::fprintf(stderr, "%s\n", qUtf8Printable(text));
            std::fputs("lectoria : la fenêtre ne peut pas s'ouvrir sur l'affichage demandé (voir le message de Qt "
                       "ci-dessus). Sans affichage, utilisez lectoria-cli.\n",
                       stderr);
        } else {
            std::fputs("lectoria : la fenêtre ne peut pas s'ouvrir, aucun affichage graphique n'est accessible "
                       "(variables DISPLAY ou WAYLAND_DISPLAY). Sans affichage, utilisez lectoria-cli.\n",
                       stderr);
        }
        std::fflush(stderr);
        std::_Exit(1);
    }
    heldMessages.push_back({type, QByteArray(context.category ? context.category : ""), text});
}

// The display opened: what Qt said meanwhile is written as it would have been.
void ReplayHeldMessages() {
    for (const HeldMessage& held : heldMessages) {
        const QMessageLogger logger(nullptr, 0, nullptr, held.category.constData());
        switch (held.type) {
        case QtDebugMsg:
            logger.debug("%s", qUtf8Printable(held.text));
            break;
        case QtInfoMsg:
            logger.info("%s", qUtf8Printable(held.text));
            break;
        case QtCriticalMsg:
            logger.critical("%s", qUtf8Printable(held.text));
            break;
        default:
            logger.warning("%s", qUtf8Printable(held.text));
            break;
        }
    }
    heldMessages.clear();
}

} // namespace

int main(int argc, char** argv) {
    FontConfigurationWarmUp fonts;
    const QtMessageHandler previous = qInstallMessageHandler(HoldWhileOpening);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    KeepQtDiagnosticsQuiet();
    ReplayHeldMessages();
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
    const auto picker = MakeSystemFolderPicker();
    const auto drives = MakeSystemDriveQuery();
    SystemFileLookup files;
    HttpTransferLibrary transfer;
    fonts.Wait();
    frmLctr window(state,
                   {*settings, clock, *picker, *drives, files, transfer, LoadConfiguredArchiveSettings(), nullptr});
    window.show();
    FirstPaintMarker startupMarker;
    if (qEnvironmentVariableIsSet("LECTORIA_MESURE_DEMARRAGE"))
        window.installEventFilter(&startupMarker);
    return app.exec();
}
