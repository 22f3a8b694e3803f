#include <QApplication>

#include "displayscaling.h"
#include "mainwindow.h"

int main(int argc, char *argv[])
{
    displayscaling::setUp();
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    return app.exec();
}
