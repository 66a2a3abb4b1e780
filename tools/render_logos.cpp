// lectoria-render-logos: renders the two logos, as the window's code draws them, at one and two
// device pixels per pixel into the PNGs that the ui library compiles in. The PNGs are committed;
// rerun this after changing a drawing:
//     cmake --build build --target lectoria-logos
#include "ui/logos.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // no screen needed
    QApplication app(argc, argv);
    const QDir output(QString::fromLocal8Bit(argv[1]));
    for (int ratio : {1, 2}) {
        const QPixmap logos[] = {lectoria::DrawTwentyMinutesLogo(ratio), lectoria::DrawMetroLogo(ratio)};
        const char* names[] = {"20minutes", "metro"};
        for (int i = 0; i < 2; ++i) {
            const QString file = output.filePath(QStringLiteral("%1-%2x.png").arg(QLatin1String(names[i])).arg(ratio));
            if (!logos[i].toImage().save(file)) {
                std::fprintf(stderr, "%s: cannot write\n", qPrintable(file));
                return 1;
            }
        }
    }
    return 0;
}
