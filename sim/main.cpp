#include "simoptions.h"
#include "simradio.h"
#include "statefile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here; the event loop does the rest.
void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

bool catchTerminationSignals(QString *error)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        *error = QStringLiteral("socketpair failed");
        return false;
    }
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

int fail(const QString &message)
{
    std::fprintf(stderr, "tmx9-sim: %s\n", qUtf8Printable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tmx9-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    QCommandLineParser parser;
    // Qt prints the description as it stands: the line breaks are ours.
    parser.setApplicationDescription(QStringLiteral(
        "Simulated TMX9 radio on a pseudo-terminal, for trying the configurator or any\n"
        "other program without a radio.\n"
        "\n"
        "Prints the port to open (/dev/pts/N) on the first line of standard output, then\n"
        "logs the traffic on standard error, one line per frame or text line: \"->\" to\n"
        "the radio or \"<-\" from it, milliseconds since start, the bytes in hex, and\n"
        "what they are (\"read request\", \"parameter response N=69\", \"write ack\",\n"
        "\"SET FSK\"). Runs until Ctrl-C or SIGTERM, until a fault closes the line, or\n"
        "until the log cannot be written (exit status 1).\n"
        "\n"
        "Example: tmx9-sim --link /tmp/tmx9, then open /tmp/tmx9 in any serial program\n"
        "at 115200 baud. Like a radio, it hears only its own serial rate, which a write\n"
        "can change (after acknowledging that write); --any-baud for programs that cannot\n"
        "set a rate. Options marked Fault make the radio misbehave on purpose."));
    parser.addHelpOption();
    parser.addVersionOption();
    tmx9sim::addSimOptions(parser);
    parser.process(app);

    QString error;
    tmx9sim::SimOptions options;
    if (!tmx9sim::readSimOptions(parser, &options, &error))
        return fail(error);

    tmx9sim::SimRadio radio;
    radio.setRecordTraffic(false);
    if (!tmx9sim::applySimOptions(options, radio, &error))
        return fail(error);
    if (options.stateSavedAsState())
        std::fprintf(stderr,
                     "tmx9-sim: --state with --replay saves the state, as --save-state FILE says "
                     "better; --state alone reads a state file\n");

    QFile log;
    if (!options.quiet) {
        const bool opened = options.logPath.isEmpty()
                                ? log.open(stderr, QIODevice::WriteOnly)
                                : (log.setFileName(options.logPath),
                                   log.open(QIODevice::WriteOnly | QIODevice::Truncate));
        if (!opened)
            return fail(QStringLiteral("cannot write the log: %1").arg(log.errorString()));
        radio.setLogDevice(&log);
    }
    // A run whose log misses lines would pass for one that went as logged: it ends at once.
    QString logError;
    QObject::connect(&radio, &tmx9sim::SimRadio::logFailed, &app, [&logError](const QString &why) {
        logError = QStringLiteral("cannot write the log: %1").arg(why);
        QCoreApplication::exit(1);
    });

    if (!catchTerminationSignals(&error))
        return fail(error);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    if (!radio.start(&error))
        return fail(error);
    if (!logError.isEmpty())
        return fail(logError);

    if (!options.linkPath.isEmpty()) {
        // A link left behind by a run that was killed may be replaced; anything else may not.
        if (QFileInfo(options.linkPath).isSymLink())
            QFile::remove(options.linkPath);
        if (!QFile::link(radio.slavePath(), options.linkPath))
            return fail(QStringLiteral("cannot create the link %1").arg(options.linkPath));
    }

    std::printf("%s\n", qUtf8Printable(radio.slavePath()));
    std::fflush(stdout);

    // The radio vanishing through a fault ends the run as well.
    QObject::connect(&radio, &tmx9sim::SimRadio::stopped, &app, &QCoreApplication::quit);
    const int status = app.exec();

    radio.stop();
    if (!options.linkPath.isEmpty())
        QFile::remove(options.linkPath);
    if (!options.stateOutput().isEmpty() &&
        !tmx9sim::saveStateFile(options.stateOutput(), radio.state(), &error))
        return fail(error);
    if (!logError.isEmpty())
        return fail(logError);
    return status;
}
