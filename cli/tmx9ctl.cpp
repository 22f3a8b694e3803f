#include "tmx9ctl.h"

#include "configuration.h"
#include "exitstatus.h"
#include "plans.h"
#include "portlist.h"
#include "profile.h"
#include "radiolink.h"
#include "receiver.h"
#include "registers.h"
#include "trace.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSerialPort>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tmx9ctl {

namespace {

using tmx9::kReadTimeoutMs; // as the window waits for a read
constexpr int kVerifyPauseMs =
    tmx9::kFrameSpacingMs; // the plans' own spacing, before the read-back
constexpr int kDefaultBaud = 115200;
// The computer-side rates the window offers, and the search for the radio's rate.
const QStringList kBaudRates = {QStringLiteral("115200"), QStringLiteral("4800"),
                                QStringLiteral("9600"),   QStringLiteral("19200"),
                                QStringLiteral("38400"),  QStringLiteral("auto")};

QVector<int> searchRates()
{
    return QVector<int>(std::begin(tmx9::kSearchRates), std::end(tmx9::kSearchRates));
}

QString searchRatesText()
{
    QStringList rates;
    for (const int rate : tmx9::kSearchRates)
        rates << QString::number(rate);
    return rates.join(QStringLiteral(", "));
}

const char kHelp[] =
    "Usage: tmx9ctl COMMAND [OPTIONS]\n"
    "\n"
    "Configures TMX9 radios over a serial line.\n"
    "\n"
    "Commands:\n"
    "  ports                      List the serial ports that can be opened now.\n"
    "  read --port PORT [--json | --out FILE]\n"
    "                             Read the configuration; print it as a table, as a JSON\n"
    "                             profile (--json), or save the profile to FILE (--out).\n"
    "  write --port PORT PROFILE  Check the whole profile (nothing is sent if anything is\n"
    "                             wrong), write it, read it back and compare field by field.\n"
    "                             A new serial rate is sent last, on its own, once the rest\n"
    "                             is written and verified at the rate the radio speaks.\n"
    "  default --port PORT        Write the default configuration, read it back and compare.\n"
    "  check --port PORT PROFILE  Read the configuration and compare it with the profile\n"
    "                             field by field; nothing is written.\n"
    "  detect [--port PORT] [--json]\n"
    "                             Look for a radio on each port (all that can be opened, or\n"
    "                             those given) at %1 baud in turn,\n"
    "                             %2 ms each; print the rate, serial number, firmware\n"
    "                             version and register count of each radio found.\n"
    "\n"
    "Options:\n"
    "  --port PORT   Serial port, a path (/dev/ttyUSB0) or a name (ttyUSB0). Repeat it to\n"
    "                configure several radios, all at the same time.\n"
    "  --baud RATE   Computer-side baud rate: 115200 (default), 4800, 9600, 19200 or 38400;\n"
    "                auto: find the radio's rate first, as detect does.\n"
    "  --json        read: print the configuration as a JSON profile (one port);\n"
    "                detect: print a JSON array, one object per port.\n"
    "  --out FILE    read: save the JSON profile to FILE (one port).\n"
    "  --no-verify   write, default: do not read back and compare.\n"
    "  --trace FILE  Log the traffic of both directions to FILE: time, bytes in hex, summary.\n"
    "  -h, --help    Show this help.\n"
    "  --version     Show the version.\n"
    "\n"
    "Exit status:\n";

struct Options
{
    QString command;
    QStringList ports;
    bool portsNamed = true; // false: detect tries every port that can be opened
    int baud = kDefaultBaud;
    bool autoBaud = false;
    bool json = false;
    QString outPath;
    bool verify = true;
    QString tracePath;
    QString profilePath;
};

struct Outcome
{
    int status = Success;
    QString message; // one line, without the port
};

struct ReadResult
{
    Outcome outcome;
    std::optional<Configuration> configuration;
};

// What detect learnt of a radio from its parameter response.
struct Detected
{
    int baud = 0;
    QString serialNumber;
    QString firmwareVersion;
    int registers = 0;
};

// One port's part of a command, made on the port's own thread and reported on the caller's.
struct PortResult
{
    Outcome outcome;                            // Success: the message is the result line
    std::optional<Configuration> configuration; // read
    std::optional<Detected> detected;           // detect
};

// Parses and checks the command line. nullopt with `error` set for a usage error, or with
// `error` empty when help or the version was asked for (then `text` holds it).
std::optional<Options> parseCommandLine(const QStringList &arguments, QString *error, QString *text)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PORT"));
    const QCommandLineOption baud(QStringLiteral("baud"), QString(), QStringLiteral("RATE"));
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption noVerify(QStringLiteral("no-verify"), QString());
    const QCommandLineOption trace(QStringLiteral("trace"), QString(), QStringLiteral("FILE"));
    parser.addOptions({help, version, port, baud, json, out, noVerify, trace});
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        *text = QString::fromLatin1(kHelp).arg(searchRatesText()).arg(tmx9::kSearchWaitMs) +
                exitStatusHelp();
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        *text = QStringLiteral("tmx9ctl %1\n").arg(QStringLiteral(PROJECT_VERSION));
        return std::nullopt;
    }

    Options options;
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        *error = QStringLiteral("no command given");
        return std::nullopt;
    }
    options.command = positional.takeFirst();
    const QStringList commands = {QStringLiteral("ports"),  QStringLiteral("read"),
                                  QStringLiteral("write"),  QStringLiteral("default"),
                                  QStringLiteral("detect"), QStringLiteral("check")};
    if (!commands.contains(options.command)) {
        *error = QStringLiteral("unknown command \"%1\"; the commands are %2")
                     .arg(options.command, commands.join(QStringLiteral(", ")));
        return std::nullopt;
    }

    options.ports = parser.values(port);
    options.json = parser.isSet(json);
    options.outPath = parser.value(out);
    options.verify = !parser.isSet(noVerify);
    options.tracePath = parser.value(trace);
    const bool isRead = options.command == QLatin1String("read");
    const bool isDetect = options.command == QLatin1String("detect");
    const bool writes =
        options.command == QLatin1String("write") || options.command == QLatin1String("default");

    // Options that mean nothing to the command are refused rather than ignored.
    const std::pair<const QCommandLineOption *, bool> allowed[] = {
        {&port, options.command != QLatin1String("ports")},
        {&baud, options.command != QLatin1String("ports") && !isDetect},
        {&json, isRead || isDetect},
        {&out, isRead},
        {&noVerify, writes},
    };
    for (const auto &[option, ok] : allowed) {
        if (!ok && parser.isSet(*option)) {
            *error = QStringLiteral("--%1 does not apply to %2")
                         .arg(option->names().constFirst(), options.command);
            return std::nullopt;
        }
    }
    if (parser.isSet(baud)) {
        if (!kBaudRates.contains(parser.value(baud))) {
            *error = QStringLiteral("--baud: \"%1\" is not one of %2")
                         .arg(parser.value(baud), kBaudRates.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        options.autoBaud = parser.value(baud) == QLatin1String("auto");
        if (!options.autoBaud)
            options.baud = parser.value(baud).toInt();
    }
    if (isDetect && options.ports.isEmpty())
        options.portsNamed = false;
    else if (options.command != QLatin1String("ports") && options.ports.isEmpty()) {
        *error = QStringLiteral("%1 needs --port PORT").arg(options.command);
        return std::nullopt;
    }
    // Ports run at the same time: the same port twice would compete with itself.
    for (int i = 1; i < options.ports.size(); ++i) {
        if (options.ports.indexOf(options.ports.at(i)) < i) {
            *error = QStringLiteral("--port %1 is given twice").arg(options.ports.at(i));
            return std::nullopt;
        }
    }
    if (options.json && parser.isSet(out)) {
        *error = QStringLiteral("--json and --out exclude each other");
        return std::nullopt;
    }
    if (!isDetect && (options.json || parser.isSet(out)) && options.ports.size() > 1) {
        *error = QStringLiteral("--json and --out take one --port: one profile is one radio");
        return std::nullopt;
    }
    if (parser.isSet(out) && options.outPath.isEmpty()) {
        *error = QStringLiteral("--out needs a file name");
        return std::nullopt;
    }
    if (options.command == QLatin1String("write") || options.command == QLatin1String("check")) {
        if (positional.size() != 1) {
            *error = QStringLiteral("%1 needs exactly one profile file").arg(options.command);
            return std::nullopt;
        }
        options.profilePath = positional.takeFirst();
    }
    if (!positional.isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(positional.constFirst());
        return std::nullopt;
    }
    return options;
}

QString lostMessage(const RadioLink &link)
{
    return QStringLiteral("the port failed during the exchange (%1): check the cable and that "
                          "the radio stays connected")
        .arg(link.lostReason());
}

ReadResult readBack(RadioLink &link, int timeoutMs)
{
    const int baud = link.baud();
    const RadioLink::ReadAnswer answer = link.read(timeoutMs);
    if (link.isLost())
        return {{PortUnavailable, lostMessage(link)}, std::nullopt};
    if (!answer.parameters || !answer.channelTable) {
        if (!answer.anything)
            return {{NoAnswer, QStringLiteral("no answer within %1 ms: check that the radio is on "
                                              "and connected to this port, and that it talks at "
                                              "%2 baud (--baud)")
                                   .arg(timeoutMs)
                                   .arg(baud)},
                    std::nullopt};
        const QString missing = !answer.parameters && !answer.channelTable
                                    ? QStringLiteral("neither the parameter response nor the "
                                                     "channel table response")
                                : !answer.parameters ? QStringLiteral("no parameter response")
                                                     : QStringLiteral("no channel table response");
        return {{Undecodable, QStringLiteral("the radio answered, but %1 could be recognised "
                                             "within %2 ms: check the baud rate (--baud, now "
                                             "%3) and the cable")
                                  .arg(missing)
                                  .arg(timeoutMs)
                                  .arg(baud)},
                std::nullopt};
    }
    QString problem;
    auto configuration = decodeConfiguration(*answer.parameters, *answer.channelTable, &problem);
    if (!configuration)
        return {{Undecodable, QStringLiteral("the answer cannot be decoded: %1; check the baud "
                                             "rate (--baud, now %2) and that a TMX9 radio is on "
                                             "this port")
                                  .arg(problem)
                                  .arg(baud)},
                std::nullopt};
    return {{}, configuration};
}

QString noRadioMessage()
{
    return QStringLiteral("no radio answered at any rate (%1 baud, %2 ms each): check that the "
                          "radio is on and connected to this port")
        .arg(searchRatesText())
        .arg(tmx9::kSearchWaitMs);
}

QString openMessage(const QString &error)
{
    return QStringLiteral("cannot open the port (%1): check its name (tmx9ctl ports lists the "
                          "ports that can be opened), that no other program uses it, and that "
                          "you may use serial ports (group dialout)")
        .arg(error);
}

QString table(const QString &port, const Configuration &configuration)
{
    const tmx9::RadioSettings &s = configuration.settings;
    const auto value = [](const QString &text) {
        return text.isNull() ? QStringLiteral("? (a code that is none of the options)") : text;
    };
    QString modulation = value(s.modulation);
    if (configuration.olderRadio)
        modulation += QStringLiteral(" (older radio: LoRa only, not reported)");
    const std::pair<const char *, QString> rows[] = {
        {"Port", port},
        {"Serial number", configuration.serialNumber},
        {"Firmware version", configuration.firmwareVersion},
        {"Modulation", modulation},
        {"Protocol", value(s.protocol)},
        {"Power", value(s.power)},
        {"Current channel", value(s.channel)},
        {"Air baud rate", value(s.airBaud)},
        {"Serial baud rate", value(s.serialBaud)},
        {"Repeater", value(s.repeater)},
        {"Work mode", value(s.workMode)},
    };
    QString text;
    for (const auto &[label, shown] : rows)
        text += QStringLiteral("%1  %2\n").arg(QLatin1String(label), -16).arg(shown);
    for (int channel = 0; channel < s.frequencies.size(); ++channel)
        text += QStringLiteral("%1  %2 MHz\n")
                    .arg(QStringLiteral("Channel %1").arg(channel), -16)
                    .arg(s.frequencies.at(channel));
    return text;
}

class Command
{
public:
    Command(const Options &options, QTextStream &out, QTextStream &err, Trace &trace)
        : options_(options), out_(out), err_(err), trace_(trace)
    {
    }

    int listPorts()
    {
        QSerialPort port;
        const QStringList names = serialports::openablePorts(port);
        for (const QString &name : names)
            out_ << name << '\n';
        trace_.note(
            QStringLiteral("ports that can be opened: %1")
                .arg(names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "))));
        if (names.isEmpty())
            noPortsMessage();
        return Success;
    }

    int read()
    {
        QSaveFile file(options_.outPath);
        if (!options_.outPath.isEmpty() && !file.open(QIODevice::WriteOnly | QIODevice::Text)) {
            err_ << "tmx9ctl: cannot write " << options_.outPath << ": " << file.errorString()
                 << '\n';
            return UsageError;
        }
        bool unwritable = false;
        forEachPort(
            options_.ports,
            [this](const QString &port, const QString &tag) { return readOne(port, tag); },
            [&](const QString &port, const PortResult &result) {
                if (!result.configuration) {
                    fail(port, result.outcome);
                    return;
                }
                const Configuration &configuration = *result.configuration;
                if (!options_.outPath.isEmpty()) {
                    file.write(profileJson(configuration));
                    if (!file.commit()) {
                        err_ << "tmx9ctl: cannot write " << options_.outPath << ": "
                             << file.errorString() << '\n';
                        unwritable = true;
                        return;
                    }
                    out_ << port << ": configuration saved to " << options_.outPath << '\n';
                } else if (options_.json) {
                    out_ << profileJson(configuration);
                } else {
                    out_ << table(port, configuration) << '\n';
                }
                out_.flush();
                const QStringList undecoded = undecodedFields(configuration);
                if (!undecoded.isEmpty())
                    fail(port,
                         {Undecodable,
                          QStringLiteral("the radio reports codes that are none of the "
                                         "options for %1: check the radio's firmware, or write "
                                         "a profile to set them")
                              .arg(undecoded.join(QStringLiteral(", ")))});
            });
        return unwritable ? int(UsageError) : status_;
    }

    int write()
    {
        tmx9::RadioSettings settings;
        if (const auto status = loadProfile(&settings, "nothing was sent to any radio"))
            return *status;
        return writeAll(tmx9::writeConfigPlan(settings), settings);
    }

    // Reads every radio and compares it with the profile; writes nothing.
    int check()
    {
        tmx9::RadioSettings settings;
        if (const auto status = loadProfile(&settings, "no radio was read"))
            return *status;
        forEachPort(
            options_.ports,
            [this](const QString &port, const QString &tag) { return readOne(port, tag); },
            [&](const QString &port, const PortResult &result) {
                if (!result.configuration) {
                    fail(port, result.outcome);
                    return;
                }
                const Comparison comparison = compareConfiguration(settings, *result.configuration,
                                                                   QStringLiteral("profile"));
                if (comparison.differences.isEmpty()) {
                    out_ << port << ": matches the profile" << uncheckedNote(comparison) << '\n';
                    out_.flush();
                    return;
                }
                for (const QString &difference : comparison.differences)
                    err_ << port << ": " << difference << '\n';
                failed(port, VerifyMismatch);
            });
        return status_;
    }

    // Reads and checks the profile file. The status to end with when it cannot be used, after
    // one line per problem and a last line ending in `consequence`.
    std::optional<int> loadProfile(tmx9::RadioSettings *settings, const char *consequence)
    {
        QFile file(options_.profilePath);
        if (!file.open(QIODevice::ReadOnly)) {
            err_ << options_.profilePath << ": cannot read the profile: " << file.errorString()
                 << "; " << consequence << '\n';
            return InvalidProfile;
        }
        const QStringList problems = readProfile(file.readAll(), settings);
        if (problems.isEmpty())
            return std::nullopt;
        for (const QString &problem : problems)
            err_ << options_.profilePath << ": " << problem << '\n';
        err_ << options_.profilePath << ": " << problems.size()
             << (problems.size() == 1 ? " problem" : " problems") << "; " << consequence << '\n';
        trace_.note(QStringLiteral("profile %1 refused; nothing sent").arg(options_.profilePath));
        return InvalidProfile;
    }

    int writeDefault() { return writeAll(tmx9::writeDefaultPlan(), tmx9::defaultSettings()); }

    int detect()
    {
        QStringList ports = options_.ports;
        if (!options_.portsNamed) {
            QSerialPort port;
            ports = serialports::openablePorts(port);
            trace_.note(QStringLiteral("ports that can be opened: %1")
                            .arg(ports.isEmpty() ? QStringLiteral("none")
                                                 : ports.join(QStringLiteral(", "))));
            if (ports.isEmpty())
                noPortsMessage();
        }
        bool found = false;
        QJsonArray array;
        forEachPort(
            ports, [this](const QString &port, const QString &tag) { return detectOne(port, tag); },
            [&](const QString &port, const PortResult &result) {
                QJsonObject object{{QStringLiteral("port"), port},
                                   {QStringLiteral("found"), bool(result.detected)}};
                if (const auto &radio = result.detected) {
                    found = true;
                    object.insert(QStringLiteral("baud"), radio->baud);
                    object.insert(QStringLiteral("serialNumber"), radio->serialNumber);
                    object.insert(QStringLiteral("firmwareVersion"), radio->firmwareVersion);
                    object.insert(QStringLiteral("registers"), radio->registers);
                    if (!options_.json)
                        out_ << port << ": " << radio->baud << " baud, serial number "
                             << radio->serialNumber << ", firmware " << radio->firmwareVersion
                             << ", " << radio->registers << " registers\n";
                } else if (result.outcome.status == NoAnswer) {
                    if (!options_.json)
                        out_ << port << ": no radio answered at any rate\n";
                } else {
                    object.insert(QStringLiteral("error"), result.outcome.message);
                    // A port of the machine's list that cannot be opened now is only worth a note.
                    if (options_.portsNamed) {
                        fail(port, result.outcome);
                    } else {
                        err_ << port << ": skipped: " << result.outcome.message << '\n';
                        err_.flush();
                    }
                }
                array.append(object);
                out_.flush();
            });
        if (options_.json)
            out_ << QJsonDocument(array).toJson();
        if (status_ != Success)
            return status_;
        return found ? int(Success) : int(NoAnswer);
    }

private:
    using Job = std::function<PortResult(const QString &port, const QString &tag)>;
    using Report = std::function<void(const QString &port, const PortResult &result)>;

    // Runs `job` for every port and reports each result in the order of `ports`. One port runs
    // on the calling thread; several run at the same time, one thread each, because a link's
    // waits block its thread (they run a nested event loop), and one port's waits must not
    // stretch another's. The calling thread meanwhile runs its event loop and reports each
    // port as soon as every port before it is done.
    void forEachPort(const QStringList &ports, const Job &job, const Report &report)
    {
        if (ports.size() == 1) {
            report(ports.constFirst(), job(ports.constFirst(), QString()));
            return;
        }
        const int count = ports.size();
        std::vector<PortResult> results(count);
        std::vector<bool> done(count, false);
        std::vector<std::unique_ptr<QThread>> threads;
        int reported = 0;
        QEventLoop loop;
        for (int i = 0; i < count; ++i) {
            threads.emplace_back(QThread::create(
                [&job, &results, &ports, i] { results[i] = job(ports[i], ports[i]); }));
            QObject::connect(threads.back().get(), &QThread::finished, &loop, [&, i] {
                done[i] = true;
                while (reported < count && done[reported]) {
                    report(ports[reported], results[reported]);
                    ++reported;
                }
                if (reported == count)
                    loop.quit();
            });
        }
        for (const auto &thread : threads)
            thread->start();
        if (reported < count)
            loop.exec();
        for (const auto &thread : threads)
            thread->wait();
    }

    // Opens the port at the rate asked for, or with --baud auto finds the radio's rate first.
    // The failure to report, or nullopt with the link ready at link.baud().
    std::optional<Outcome> connectRadio(RadioLink &link, const QString &port)
    {
        QString error;
        const int first = options_.autoBaud ? tmx9::kSearchRates[0] : options_.baud;
        if (!link.open(port, first, &error))
            return Outcome{PortUnavailable, openMessage(error)};
        if (options_.autoBaud) {
            const auto found = link.search(searchRates(), tmx9::kSearchWaitMs);
            if (link.isLost())
                return Outcome{PortUnavailable, lostMessage(link)};
            if (!found)
                return Outcome{NoAnswer, noRadioMessage()};
        }
        return std::nullopt;
    }

    PortResult readOne(const QString &port, const QString &tag)
    {
        trace_.note(QStringLiteral("read %1").arg(port), tag);
        RadioLink link(trace_, tag);
        if (const auto failure = connectRadio(link, port))
            return {*failure, {}, {}};
        ReadResult result = readBack(link, kReadTimeoutMs);
        link.close();
        return {result.outcome, std::move(result.configuration), {}};
    }

    PortResult detectOne(const QString &port, const QString &tag)
    {
        trace_.note(QStringLiteral("detect %1").arg(port), tag);
        RadioLink link(trace_, tag);
        QString error;
        if (!link.open(port, tmx9::kSearchRates[0], &error))
            return {{PortUnavailable, openMessage(error)}, {}, {}};
        const auto found = link.search(searchRates(), tmx9::kSearchWaitMs);
        if (link.isLost())
            return {{PortUnavailable, lostMessage(link)}, {}, {}};
        link.close();
        if (!found)
            return {{NoAnswer, noRadioMessage()}, {}, {}};
        const auto report = tmx9::decodeParameters(found->parameters);
        return {{},
                {},
                Detected{found->baud, report->serialNumber, report->firmware,
                         tmx9::declaredLength(found->parameters)}};
    }

    int writeAll(const tmx9::TransmissionPlan &plan, const tmx9::RadioSettings &expected)
    {
        forEachPort(
            options_.ports,
            [&](const QString &port, const QString &tag) {
                trace_.note(QStringLiteral("%1 %2").arg(options_.command, port), tag);
                return PortResult{writeOne(port, tag, plan, expected), {}, {}};
            },
            [this](const QString &port, const PortResult &result) {
                if (result.outcome.status == Success)
                    out_ << port << ": " << result.outcome.message << '\n';
                else
                    fail(port, result.outcome);
                out_.flush();
            });
        return status_;
    }

    Outcome writeOne(const QString &port, const QString &tag, const tmx9::TransmissionPlan &plan,
                     const tmx9::RadioSettings &expected)
    {
        RadioLink link(trace_, tag);
        if (const auto failure = connectRadio(link, port))
            return *failure;
        const int present = link.baud();
        const QString presentText = QString::number(present);
        // A radio may take a new serial rate as soon as it acknowledges the parameter frame that
        // carries it, and hear the rest of the write as noise. So the whole write goes first
        // with the rate it speaks now, and is verified; then the parameter frame alone.
        const tmx9::RateChangePasses passes =
            expected.serialBaud == presentText
                ? tmx9::RateChangePasses()
                : tmx9::rateChangePasses(plan, expected, presentText);
        const bool twoPasses = !passes.keepRate.isEmpty();
        tmx9::RadioSettings first = expected;
        if (twoPasses) {
            first.serialBaud = presentText;
            trace_.note(QStringLiteral("first pass: the whole write with the present serial rate, "
                                       "%1 baud")
                            .arg(present),
                        tag);
        }
        // Like the window: one acknowledgement during the plan is the radio's yes. Which frame
        // it answers cannot be told; the read-back is the real check.
        if (const auto failure = sendPlan(link, twoPasses ? passes.keepRate : plan))
            return *failure;
        if (!options_.verify && !twoPasses)
            return {Success,
                    QStringLiteral("written and acknowledged; not verified (--no-verify)")};

        link.wait(kVerifyPauseMs);
        if (options_.verify) {
            // Until the second pass, the radio speaks the rate it spoke.
            const QString notSent = twoPasses ? QStringLiteral("; its new serial rate was not "
                                                               "sent, it still speaks %1 baud")
                                                    .arg(present)
                                              : QString();
            const ReadResult result = readBack(link, kReadTimeoutMs);
            if (!result.configuration)
                return {result.outcome.status,
                        QStringLiteral("written and acknowledged, but the read-back failed: ") +
                            result.outcome.message + notSent};
            const Comparison comparison = compareConfiguration(first, *result.configuration);
            if (!comparison.differences.isEmpty())
                return {VerifyMismatch,
                        QStringLiteral("written and acknowledged, but the radio reports "
                                       "otherwise: ") +
                            comparison.differences.join(QStringLiteral("; ")) + notSent +
                            QStringLiteral("; write again, or check the radio")};
            if (!twoPasses)
                return {Success, verifiedMessage(comparison, QString())};
        }

        const int newBaud = expected.serialBaud.toInt();
        trace_.note(QStringLiteral("second pass: the parameter frame with the new serial rate, "
                                   "%1 baud")
                        .arg(newBaud),
                    tag);
        const int acknowledgements = link.runPlan(passes.newRate);
        if (link.isLost())
            return {PortUnavailable, lostMessage(link)};
        trace_.note(
            QStringLiteral("acknowledgements of the new serial rate: %1").arg(acknowledgements),
            tag);
        // A radio that switches before it acknowledges is heard as noise: with a read-back to
        // come, that decides.
        if (options_.verify)
            return verifyNewRate(link, tag, expected, present);
        if (acknowledgements == 0)
            return {NotAcknowledged,
                    QStringLiteral("written and acknowledged at %1 baud, but the new serial "
                                   "rate, %2, was not acknowledged: tmx9ctl detect finds the "
                                   "rate it speaks")
                        .arg(present)
                        .arg(newBaud)};
        return {Success, QStringLiteral("written and acknowledged; not verified (--no-verify); "
                                        "its serial baud rate is now set to %1")
                             .arg(newBaud)};
    }

    // Reads back at the new rate, or at the old one when the radio has not switched, and
    // compares.
    Outcome verifyNewRate(RadioLink &link, const QString &tag, const tmx9::RadioSettings &expected,
                          int oldBaud)
    {
        const int newBaud = expected.serialBaud.toInt();
        link.wait(kVerifyPauseMs);
        ReadResult result;
        int speaks = newBaud;
        for (const int rate : {newBaud, oldBaud}) {
            QString error;
            if (!link.setBaud(rate, &error))
                return {PortUnavailable,
                        QStringLiteral("written and acknowledged, but the port cannot switch to "
                                       "%1 baud to verify: %2")
                            .arg(rate)
                            .arg(error)};
            speaks = rate;
            result = readBack(link, kReadTimeoutMs);
            if (result.configuration || link.isLost() ||
                (result.outcome.status != NoAnswer && result.outcome.status != Undecodable))
                break;
            if (rate == newBaud)
                trace_.note(QStringLiteral("no usable answer at %1 baud; verifying at the old rate")
                                .arg(rate),
                            tag);
        }
        if (!result.configuration) {
            QString message =
                QStringLiteral("written and acknowledged, but the read-back failed: ") +
                result.outcome.message;
            if (speaks != newBaud)
                message += QStringLiteral("; it did not answer at the new rate, %1 baud, either; "
                                          "tmx9ctl detect looks for it at every rate")
                               .arg(newBaud);
            return {result.outcome.status, message};
        }
        const Comparison comparison = compareConfiguration(expected, *result.configuration);
        if (!comparison.differences.isEmpty())
            return {VerifyMismatch,
                    QStringLiteral("written and acknowledged, but the radio reports otherwise: ") +
                        comparison.differences.join(QStringLiteral("; ")) +
                        QStringLiteral("; it speaks %1 baud: write again, or check the radio")
                            .arg(speaks)};
        return {Success,
                verifiedMessage(comparison,
                                speaks == newBaud
                                    ? QStringLiteral("the radio now speaks %1 baud").arg(speaks)
                                    : QStringLiteral("the radio holds %1 baud but still speaks "
                                                     "%2 (it may take the new rate when "
                                                     "restarted)")
                                          .arg(newBaud)
                                          .arg(speaks))};
    }

    // Runs a plan and checks that the radio acknowledged it: the failure to report, if any.
    std::optional<Outcome> sendPlan(RadioLink &link, const tmx9::TransmissionPlan &plan)
    {
        const int acknowledgements = link.runPlan(plan);
        if (link.isLost())
            return Outcome{PortUnavailable, lostMessage(link)};
        if (acknowledgements == 0)
            return Outcome{NotAcknowledged,
                           QStringLiteral("the radio did not acknowledge the write: check that "
                                          "it is on and connected, and the baud rate (--baud, "
                                          "now %1); what it holds now is unknown (tmx9ctl read "
                                          "shows it)")
                               .arg(link.baud())};
        return std::nullopt;
    }

    static QString verifiedMessage(const Comparison &comparison, const QString &rate)
    {
        QString message = QStringLiteral("written, acknowledged and verified");
        if (!rate.isEmpty())
            message += QStringLiteral("; ") + rate;
        return message + uncheckedNote(comparison);
    }

    static QString uncheckedNote(const Comparison &comparison)
    {
        return comparison.unchecked.isEmpty()
                   ? QString()
                   : QStringLiteral("; not checked, an older radio does not report them: %1")
                         .arg(comparison.unchecked.join(QStringLiteral(", ")));
    }

    void noPortsMessage()
    {
        err_ << "tmx9ctl: no serial port can be opened now: check that the radio's cable or "
                "adapter is plugged in, and that you may use serial ports (group dialout)\n";
    }

    void fail(const QString &port, const Outcome &outcome)
    {
        err_ << port << ": " << outcome.message << '\n';
        failed(port, outcome.status);
    }

    // After the port's failure lines.
    void failed(const QString &port, int status)
    {
        err_.flush();
        trace_.note(QStringLiteral("%1: exit status %2").arg(port).arg(status));
        if (status_ == Success)
            status_ = status; // the first failure decides
    }

    const Options &options_;
    QTextStream &out_;
    QTextStream &err_;
    Trace &trace_;
    int status_ = Success;
};

} // namespace

QString exitStatusHelp()
{
    return QStringLiteral(
        "  0  success: every radio read, or written and acknowledged (and verified)\n"
        "  1  usage: bad command line, or the trace or output file cannot be written\n"
        "  2  the profile cannot be read or is invalid; nothing was sent\n"
        "  3  a port cannot be opened, or failed during the exchange\n"
        "  4  a radio did not answer within 3000 ms; detect, --baud auto: at no rate\n"
        "  5  a radio's answer cannot be decoded\n"
        "  6  a radio did not acknowledge the write\n"
        "  7  a radio differs from the write it acknowledged, or (check) from the profile\n"
        "With several ports, the status is that of the first radio that failed.\n");
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QString error;
    QString text;
    const std::optional<Options> options = parseCommandLine(arguments, &error, &text);
    if (!options) {
        if (error.isEmpty()) {
            out << text;
            out.flush();
            return Success;
        }
        err << "tmx9ctl: " << error << "; see tmx9ctl --help\n";
        err.flush();
        return UsageError;
    }

    Trace trace;
    if (!options->tracePath.isEmpty() && !trace.open(options->tracePath, &error)) {
        err << "tmx9ctl: cannot write the trace " << options->tracePath << ": " << error << '\n';
        err.flush();
        return UsageError;
    }
    trace.note(QStringLiteral("tmx9ctl %1").arg(arguments.mid(1).join(QLatin1Char(' '))));

    Command command(*options, out, err, trace);
    int status = Success;
    if (options->command == QLatin1String("ports"))
        status = command.listPorts();
    else if (options->command == QLatin1String("read"))
        status = command.read();
    else if (options->command == QLatin1String("write"))
        status = command.write();
    else if (options->command == QLatin1String("detect"))
        status = command.detect();
    else if (options->command == QLatin1String("check"))
        status = command.check();
    else
        status = command.writeDefault();
    trace.note(QStringLiteral("exit status %1").arg(status));
    out.flush();
    err.flush();
    return status;
}

} // namespace tmx9ctl
