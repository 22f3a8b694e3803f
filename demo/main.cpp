#include "demosession.h"

#include <QApplication>
#include <QFile>

#include <cstdio>

// The configurator exactly as tmx9-config shows it, with a simulated radio's port added to the
// port list and selected, so it can be tried without a radio.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Named here rather than taken from the file name: the traffic log's folder goes by it.
    QCoreApplication::setApplicationName(QStringLiteral("tmx9-demo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    QFile log;
    log.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    tmx9demo::DemoSession demo;
    QString error;
    if (!demo.start(&log, &error)) {
        std::fprintf(stderr, "tmx9-demo: cannot start the simulated radio: %s\n",
                     qUtf8Printable(error));
        return 1;
    }
    std::fprintf(stderr, "tmx9-demo: simulated radio on %s; its traffic follows\n",
                 qUtf8Printable(demo.radio().slavePath()));

    demo.window().show();
    return app.exec();
}
