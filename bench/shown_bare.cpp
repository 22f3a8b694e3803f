// Start-up harness for context: a bare Qt program that shows an empty QMainWindow.
#include <QApplication>
#include <QMainWindow>

#include "shownreporter.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    ShownReporter reporter(&app);
    window.show();
    return app.exec();
}
