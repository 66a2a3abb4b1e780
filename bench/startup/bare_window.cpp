// lectoria-bench-fenetre-nue: the smallest Qt Widgets program with one empty window of the main
// window's size, the yardstick of the start-up benchmark. With --ligne-de-texte the window shows
// one label: the least that a window with any text pays.
//
// With --garder-affichage it opens no window: it keeps a connection to the display until its
// standard input closes. An X server left without clients resets itself (Xvfb recompiles its
// keymap, for tens of milliseconds); the benchmark keeps one client connected so that no launch
// waits for the reset that the previous one caused, as on a desktop that stays open.
#include "ui/first_paint_marker.h"

#include <QApplication>
#include <QLabel>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--garder-affichage") == 0) {
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
            char buffer[64];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
                QCoreApplication::quit();
        });
        std::printf("connecté\n");
        std::fflush(stdout);
        return app.exec();
    }
    QWidget window;
    window.resize(436, 198);
    if (argc > 1 && std::strcmp(argv[1], "--ligne-de-texte") == 0)
        (new QLabel(QStringLiteral("Choisir la ville :"), &window))->move(8, 8);
    window.show();
    lectoria::FirstPaintMarker marker;
    window.installEventFilter(&marker);
    return app.exec();
}
