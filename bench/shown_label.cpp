// Start-up harness for context: the bare program, but its window shows one line of Chinese text,
// so the first use of the font system is paid as the configurator's window pays it.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "shownreporter.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("打开串口")));
    ShownReporter reporter(&app);
    window.show();
    return app.exec();
}
