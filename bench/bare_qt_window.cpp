// The floor of any Qt Widgets program's start: an application with one empty window, shown and
// ended at once. startup_bench starts it beside QelVeva and qel.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.show();
    QTimer::singleShot(0, &application, &QApplication::quit);
    return application.exec();
}
