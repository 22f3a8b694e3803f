// The engine's one wait in a console program, as tmx9ctl.exe runs it: short waits with nothing
// else to wake them, as the pauses of a write to a radio that never answers. Each must end at its
// own deadline. Under Wine a wait left to Qt's dispatcher and its wake timer hung within a few
// hundred of these; run.sh runs this under a time-out.
//
//   wine_waits.exe COUNT     prints "COUNT waits, each to its deadline" and exits 0
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include "eventwait.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    bool ok = false;
    const int count = app.arguments().value(1).toInt(&ok);
    if (!ok || count < 1) {
        out << "usage: wine_waits COUNT\n";
        return 2;
    }
    for (int i = 0; i < count; ++i) {
        const int ms = 1 + i % 5;
        QElapsedTimer clock;
        clock.start();
        serialports::waitUntil(QDeadlineTimer(ms, Qt::PreciseTimer));
        if (clock.elapsed() < ms) {
            out << "wait " << i << " of " << ms << " ms ended after " << clock.elapsed() << " ms\n";
            return 1;
        }
    }
    out << count << " waits, each to its deadline\n";
    return 0;
}
