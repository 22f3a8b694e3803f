#include <QApplication>

#include "displayscaling.h"
#include "mainwindow.h"

int main(int argc, char *argv[])
{
    displayscaling::setUp();
    QApplication app(argc, argv);
    // Named here rather than taken from the file name: the traffic log's folder goes by it.
    QCoreApplication::setApplicationName(QStringLiteral("tmx9-config"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    MainWindow window;
    window.show();
    return app.exec();
}
