// Start-up harness of reference, the floor: a bare window at the configurator's fixed 600x500
// size showing one line of Chinese text. Any window with that size and a Chinese text pays at
// least this: the first use of the font system, a Chinese font and the window's backing store.
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
    window.resize(600, 500);
    window.show();
    return app.exec();
}
