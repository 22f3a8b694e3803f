// The commands that only read: ports, read, check and detect.
#include "commands.h"

#include "cappedfile.h"
#include "fleet.h"
#include "messages.h"
#include "portlist.h"
#include "profile.h"
#include "recording.h"
#include "trace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSerialPort>

namespace tmx9ctl {

namespace {

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
        {"Port", printable(port)},
        {"Serial number", printable(configuration.serialNumber)},
        {"Firmware version", printable(configuration.firmwareVersion)},
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

void noPortsMessage(Reporter &reporter)
{
    reporter.problem(QStringLiteral("no serial port can be opened now: check that the radio's "
                                    "cable or adapter is plugged in, and that you may use serial "
                                    "ports (group dialout)"));
}

QStringList openablePorts(Reporter &reporter)
{
    QSerialPort port;
    const QStringList names = serialports::openablePorts(port);
    reporter.trace().note(
        QStringLiteral("ports that can be opened: %1")
            .arg(names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "))));
    return names;
}

// Shows or saves one radio's configuration as read asks; what the radio reports that a profile
// cannot hold fails it with status 5, after it was shown. False when --out cannot be written.
bool showConfiguration(const Options &options, Reporter &reporter, QSaveFile &file,
                       const QString &port, const Configuration &configuration)
{
    if (!options.outPath.isEmpty()) {
        file.write(profileJson(configuration));
        if (!file.commit()) {
            reporter.problem(
                QStringLiteral("cannot write %1: %2").arg(options.outPath, file.errorString()));
            return false;
        }
        reporter.result(port, QStringLiteral("configuration saved to ") + options.outPath);
    } else {
        reporter.out() << (options.json ? QString::fromUtf8(profileJson(configuration))
                                        : table(port, configuration) + QLatin1Char('\n'));
        reporter.out().flush();
    }
    const QStringList undecoded = undecodedFields(configuration);
    if (!undecoded.isEmpty())
        reporter.fail(port, {Undecodable, QStringLiteral("the radio reports codes that are none "
                                                         "of the options for %1: check the "
                                                         "radio's firmware, or write a profile to "
                                                         "set them")
                                              .arg(undecoded.join(QStringLiteral(", ")))});
    const QStringList outside = frequenciesOutOfRange(configuration);
    if (!outside.isEmpty())
        reporter.fail(port, {Undecodable, QStringLiteral("the radio reports frequencies outside "
                                                         "200.0000 to 500.0000 MHz for %1: check "
                                                         "the radio, or write a profile to set "
                                                         "them")
                                              .arg(outside.join(QStringLiteral(", ")))});
    return true;
}

// read --from-trace: the configuration a log saw last, as read shows one from a radio.
int readFromTrace(const Options &options, Reporter &reporter, QSaveFile &file)
{
    const QString &path = options.fromTrace;
    const auto refuse = [&](const QString &why) {
        reporter.err() << printable(path) << ": " << why << '\n';
        reporter.err().flush();
        return int(InvalidProfile);
    };
    QString error;
    const auto text = tmx9::readCappedFile(path, tmx9::kMaxTraceBytes, &error);
    if (!text)
        return refuse(QStringLiteral("cannot read the log: ") + error);
    const QVector<tmx9::PortEntry> entries = tmx9::parseTrace(*text);
    const QString port = options.ports.value(0);
    const QStringList ports = tmx9::recordedPorts(entries);
    if (port.isNull() && ports.size() > 1) {
        reporter.problem(QStringLiteral("%1 holds reads of several ports: %2; choose one with "
                                        "--port")
                             .arg(printable(path), printable(ports.join(QStringLiteral(", ")))));
        return UsageError;
    }
    QString missing;
    const auto recording = tmx9::lastRecording(entries, port, &missing);
    const QString where = port.isNull() ? QString() : QStringLiteral(" on ") + printable(port);
    if (!recording)
        return refuse(missing + (ports.isEmpty()
                                     ? QString()
                                     : QStringLiteral(" (it holds reads of %1)")
                                           .arg(printable(ports.join(QStringLiteral(", "))))));
    if (recording->channelTableResponse.isEmpty())
        return refuse(QStringLiteral("no complete channel table response from the radio%1: the "
                                     "read was cut short")
                          .arg(where));
    QString problem;
    const auto configuration =
        decodeConfiguration(recording->parameterResponse.chopped(2),
                            recording->channelTableResponse.chopped(2), &problem);
    const QString name = recording->port.isEmpty() ? path : recording->port;
    if (!configuration) {
        reporter.fail(name,
                      {Undecodable, QStringLiteral("the last read in %1 cannot be decoded: %2")
                                        .arg(printable(path), problem)});
        return reporter.status();
    }
    if (!showConfiguration(options, reporter, file, name, *configuration))
        return UsageError;
    return reporter.status();
}

} // namespace

int portsCommand(const Options &, Reporter &reporter)
{
    const QStringList names = openablePorts(reporter);
    for (const QString &name : names)
        reporter.out() << name << '\n';
    if (names.isEmpty())
        noPortsMessage(reporter);
    return Success;
}

int readCommand(const Options &options, Reporter &reporter)
{
    QSaveFile file(options.outPath);
    if (!options.outPath.isEmpty() && !file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        reporter.problem(
            QStringLiteral("cannot write %1: %2").arg(options.outPath, file.errorString()));
        return UsageError;
    }
    if (!options.fromTrace.isEmpty())
        return readFromTrace(options, reporter, file);
    bool unwritable = false;
    forEachPort(
        options.ports,
        [&](const QString &port, const QString &tag) {
            return readOne(options, reporter.trace(), port, tag);
        },
        [&](const QString &port, const PortResult &result) {
            if (!result.configuration)
                reporter.fail(port, result.outcome);
            else if (!showConfiguration(options, reporter, file, port, *result.configuration))
                unwritable = true;
        });
    return unwritable ? int(UsageError) : reporter.status();
}

// Reads every radio and compares it with the profile; writes nothing.
int checkCommand(const Options &options, Reporter &reporter)
{
    tmx9::RadioSettings settings;
    if (const auto status = loadProfile(options, reporter, &settings, "no radio was read"))
        return *status;
    forEachPort(
        options.ports,
        [&](const QString &port, const QString &tag) {
            return readOne(options, reporter.trace(), port, tag);
        },
        [&](const QString &port, const PortResult &result) {
            if (!result.configuration) {
                reporter.fail(port, result.outcome);
                return;
            }
            const Comparison comparison =
                compareConfiguration(settings, *result.configuration, QStringLiteral("profile"));
            if (comparison.differences.isEmpty()) {
                reporter.result(port,
                                QStringLiteral("matches the profile") + uncheckedNote(comparison));
                return;
            }
            for (const QString &difference : comparison.differences)
                reporter.err() << port << ": " << difference << '\n';
            reporter.failed(port, VerifyMismatch);
        });
    return reporter.status();
}

int detectCommand(const Options &options, Reporter &reporter)
{
    QStringList ports = options.ports;
    if (!options.portsNamed) {
        ports = openablePorts(reporter);
        if (ports.isEmpty())
            noPortsMessage(reporter);
    }
    bool found = false;
    QJsonArray array;
    forEachPort(
        ports,
        [&](const QString &port, const QString &tag) {
            return detectOne(options, reporter.trace(), port, tag);
        },
        [&](const QString &port, const PortResult &result) {
            QJsonObject object{{QStringLiteral("port"), port},
                               {QStringLiteral("found"), bool(result.detected)}};
            if (const auto &radio = result.detected) {
                found = true;
                object.insert(QStringLiteral("baud"), radio->baud);
                object.insert(QStringLiteral("serialNumber"), radio->serialNumber);
                object.insert(QStringLiteral("firmwareVersion"), radio->firmwareVersion);
                object.insert(QStringLiteral("registers"), radio->registers);
                if (!options.json)
                    reporter.result(port, QStringLiteral("%1 baud, serial number %2, firmware "
                                                         "%3, %4 registers")
                                              .arg(radio->baud)
                                              .arg(printable(radio->serialNumber),
                                                   printable(radio->firmwareVersion))
                                              .arg(radio->registers));
            } else if (result.outcome.status == NoAnswer) {
                if (!options.json)
                    reporter.result(port, QStringLiteral("no radio answered at any rate"));
            } else {
                object.insert(QStringLiteral("error"), result.outcome.message);
                // A port of the machine's list that cannot be opened now is only worth a note.
                if (options.portsNamed) {
                    reporter.fail(port, result.outcome);
                } else {
                    reporter.err() << port << ": skipped: " << result.outcome.message << '\n';
                    reporter.err().flush();
                }
            }
            array.append(object);
        });
    if (options.json)
        reporter.out() << QJsonDocument(array).toJson();
    if (reporter.status() != Success)
        return reporter.status();
    return found ? int(Success) : int(NoAnswer);
}

} // namespace tmx9ctl
