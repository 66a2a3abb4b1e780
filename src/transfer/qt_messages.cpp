#include "transfer/qt_messages.h"

#include <QtGlobal>

namespace lectoria {

namespace {

QtMessageHandler qtOwnHandler = nullptr;

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg && qtOwnHandler)
        qtOwnHandler(type, context, message);
}

} // namespace

void KeepQtDiagnosticsQuiet() {
    if (qEnvironmentVariableIntValue("LECTORIA_MESSAGES_QT") != 0)
        return;
    qtOwnHandler = qInstallMessageHandler(Filter);
}

} // namespace lectoria
