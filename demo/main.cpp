#include "demosession.h"
#include "displayscaling.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <cstring>

// The configurator exactly as tmx9-config shows it, with a simulated radio's port added to the
// port list and selected, so it can be tried without a radio.
int main(int argc, char *argv[])
{
    // Answered before QApplication, which needs a display; the man page is made from these.
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::printf("Usage: tmx9-demo\n"
                        "The TMX9 configurator beside a simulated radio, to try it without a "
                        "radio.\n\n"
                        "Starts the window exactly as tmx9-config shows it, with one more entry "
                        "in its\nport list: the pseudo-terminal of a simulated radio running in "
                        "the same\nprocess, already selected. Click Open SerialPort, then Read "
                        "Config, Write\nConfig or Write default. The radio's traffic log goes to "
                        "standard error.\n\n"
                        "Options:\n"
                        "  -h, --help     Show this help.\n"
                        "  -v, --version  Show the version.\n");
            return 0;
        }
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v")) {
            std::printf("tmx9-demo %s\n", PROJECT_VERSION);
            return 0;
        }
    }
    displayscaling::setUp();
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
