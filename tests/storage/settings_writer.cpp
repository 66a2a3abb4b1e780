// lectoria-test-settings-writer FILE NAME VALUE: one save of the settings store into FILE, as the
// window makes it; exit 0 when the store reports it written, 1 when it reports a failure.
#include "storage/settings_store.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    return lectoria::MakeFileSettingsStore(args.at(1))->WriteText(args.at(2), args.at(3)) ? 0 : 1;
}
