// Start-up harness: the configurator's window, built as its main() builds it.
#include <QApplication>

#include "mainwindow.h"
#include "portlist.h"
#include "shownreporter.h"

int main(int argc, char *argv[])
{
    // No port is ever opened here: the listing finds none.
    serialports::setCandidateSource([] { return QStringList(); });
    QApplication app(argc, argv);
    MainWindow window;
    ShownReporter reporter(&app);
    window.show();
    return app.exec();
}
