// lectoria-bench-fenetre-nue: the smallest Qt Widgets program with one empty window of the main
// window's size, the yardstick of the start-up benchmark.
#include "ui/first_paint_marker.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(436, 198);
    window.show();
    lectoria::FirstPaintMarker marker;
    window.installEventFilter(&marker);
    return app.exec();
}
