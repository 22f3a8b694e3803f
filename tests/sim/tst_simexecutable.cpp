// tmx9-sim as a process: the port on the first line, a working radio behind it, a clean end on
// SIGTERM.
#include "rawclient.h"
#include "recording.h"
#include "responses.h"
#include "statefile.h"

#include "describe.h"
#include "frames.h"
#include "receiver.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A read as tmx9ctl's trace records it.
QStringList tracedRead(const tmx9sim::RadioState &radio)
{
    const auto line = [](tmx9::Direction direction, const QByteArray &bytes) {
        return tmx9::formatTraceLine(direction, 1000000, bytes, tmx9::describeLine(bytes));
    };
    return {
        line(tmx9::Direction::ToRadio, tmx9::readRequest()),
        line(tmx9::Direction::FromRadio, tmx9sim::parameterResponse(radio.parameterBlock())),
        line(tmx9::Direction::FromRadio, tmx9sim::channelTableResponse(radio.channelRecords()))};
}

// Two reads of one radio: an FSK radio, then the same radio changed to LoRa, its channel
// records past the tenth all zero bytes.
QByteArray traceOfTwoReads()
{
    tmx9sim::RadioState before;
    tmx9::RadioSettings settings = tmx9::defaultSettings();
    settings.modulation = QStringLiteral("FSK");
    settings.airBaud = QStringLiteral("9600");
    before.setSettings(settings);
    before.setSerialNumber(QStringLiteral("OLD111"));
    tmx9sim::RadioState after;
    settings = tmx9::defaultSettings();
    settings.channel = QStringLiteral("3");
    after.setSettings(settings);
    after.setSerialNumber(QStringLiteral("NEW222"));
    after.setChannelRecords(after.channelRecords().left(70) + QByteArray(70, '\0'));
    const QStringList lines =
        QStringList{"-- tmx9ctl read --port /dev/ttyUSB0 --trace trace.txt",
                    "-- opened /dev/ttyUSB0 at 115200 baud, 8N1, no flow control"} +
        tracedRead(before) + tracedRead(after) + QStringList{"-- closed /dev/ttyUSB0"};
    return lines.join('\n').toUtf8() + '\n';
}

// Each "@NAME" of the arguments as a path in `dir`.
QStringList withPaths(QStringList arguments, const QTemporaryDir &dir)
{
    for (QString &argument : arguments) {
        for (const char *name : {"TRACE", "STATE", "SAVED", "BIG", "LINKED"})
            argument.replace(QLatin1Char('@') + QLatin1String(name), dir.filePath(name));
        argument.replace(QLatin1String("@DIR"), dir.path());
    }
    return arguments;
}

// The files every row may name: the trace, a link to it, and the state file of the row.
void writeFiles(const QTemporaryDir &dir, const QByteArray &state)
{
    QFile trace(dir.filePath("TRACE"));
    QVERIFY(trace.open(QIODevice::WriteOnly) && trace.write(traceOfTwoReads()) > 0);
    trace.close();
    QVERIFY(QFile::link(dir.filePath("TRACE"), dir.filePath("LINKED")));
    QFile file(dir.filePath("STATE"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(state);
    QFile big(dir.filePath("BIG"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(3LL << 30)); // sparse
}

} // namespace

class TestSimExecutable : public QObject
{
    Q_OBJECT

private slots:
    void servesUntilTerminated_data();
    void servesUntilTerminated();
    void rejectsUnusableOptions_data();
    void rejectsUnusableOptions();
    void anyBaudOption_data();
    void anyBaudOption();
};

void TestSimExecutable::servesUntilTerminated_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("state");  // the file @STATE
    QTest::addColumn<QByteArray>("input");  // standard input
    QTest::addColumn<QStringList>("shown"); // modulation, air baud, channel, serial number
    QTest::addColumn<bool>("saved");        // @SAVED holds the state read
    QTest::addColumn<QString>("notice");    // on standard error; empty: nothing there

    const QStringList replayed{"LORA", "11000", "3", "NEW222"};
    QTest::newRow("state file, an option over it")
        << QStringList{"--state", "@STATE", "--serial-number", "XY42"}
        << QByteArray(R"({"settings": {"modulation": "FSK", "airBaud": "19200", "channel": "5"}})")
        << QByteArray() << QStringList{"FSK", "19200", "5", "XY42"} << false << "";
    QTest::newRow("state file of an earlier version, records as text")
        << QStringList{"--state", "@STATE"}
        << QByteArray(R"({"channelRecords": ")" + QByteArray(140, '3') + R"("})") << QByteArray()
        << QStringList{"LORA", "11000", "0", "SN0001"} << false << "";
    QTest::newRow("replay: the last read of the trace")
        << QStringList{"--replay", "@TRACE"} << QByteArray() << QByteArray() << replayed << false
        << "";
    QTest::newRow("replay of a pipe") << QStringList{"--replay", "/dev/stdin"} << QByteArray()
                                      << traceOfTwoReads() << replayed << false << "";
    QTest::newRow("replay, saved by --save-state")
        << QStringList{"--replay", "@TRACE", "--save-state", "@SAVED"} << QByteArray()
        << QByteArray() << replayed << true << "";
    QTest::newRow("replay, saved by --state as before")
        << QStringList{"--replay", "@TRACE", "--state", "@SAVED"} << QByteArray() << QByteArray()
        << replayed << true << "--state with --replay saves the state, as --save-state FILE";
    QTest::newRow("state file read, saved elsewhere")
        << QStringList{"--state", "@STATE", "--save-state", "@SAVED"}
        << QByteArray(R"({"settings": {"channel": "7"}})") << QByteArray()
        << QStringList{"LORA", "11000", "7", "SN0001"} << true << "";
}

void TestSimExecutable::servesUntilTerminated()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, state);
    QFETCH(QByteArray, input);
    QFETCH(QStringList, shown);
    QFETCH(bool, saved);
    QFETCH(QString, notice);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFiles(dir, state);
    const QString link = dir.filePath(QStringLiteral("radio"));
    const QString log = dir.filePath(QStringLiteral("traffic.log"));

    QProcess sim;
    sim.start(QStringLiteral(TMX9_SIM_EXECUTABLE),
              QStringList{"--link", link, "--log", log} + withPaths(arguments, dir));
    QVERIFY(sim.waitForStarted());
    sim.write(input);
    sim.closeWriteChannel();
    QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(path.startsWith(QLatin1String("/dev/pts/")), qPrintable(path));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    QList<QByteArray> lines;
    {
        RawClient client(link);
        QVERIFY(client.isOpen());
        client.send(tmx9::readRequest());
        QVERIFY(client.waitForLines(2));
        lines = client.lines();
    }
    const auto report = tmx9::decodeParameters(lines.at(0));
    QVERIFY(report);
    QCOMPARE(
        (QStringList{report->modulation.value_or(QString()), report->airBaud.value_or(QString()),
                     report->channel, report->serialNumber}),
        shown);

    sim.terminate(); // SIGTERM
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    const QString error = QString::fromUtf8(sim.readAllStandardError());
    if (notice.isEmpty())
        QCOMPARE(error, QString());
    else
        QVERIFY2(error.contains(notice) && error.count('\n') == 1, qPrintable(error));

    if (saved) {
        // Every byte of what the radio answered, zero bytes too, comes back from the file.
        tmx9sim::RadioState reloaded;
        QString why;
        QVERIFY2(tmx9sim::loadStateFile(dir.filePath("SAVED"), &reloaded, &why), qPrintable(why));
        QCOMPARE(reloaded.parameterBlock(),
                 tmx9::responseBody(lines.at(0) + tmx9::kCrLf, tmx9::LineKind::Parameters)
                     .value_or("none"));
        QCOMPARE(reloaded.channelRecords(),
                 tmx9::responseBody(lines.at(1) + tmx9::kCrLf, tmx9::LineKind::ChannelTable)
                     .value_or("none"));
    }

    QFile traffic(log);
    QVERIFY(traffic.open(QIODevice::ReadOnly));
    const QByteArray text = traffic.readAll();
    QVERIFY(text.contains("read request"));
    QVERIFY(text.contains("channel table response"));
}

void TestSimExecutable::rejectsUnusableOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("state"); // the file @STATE
    QTest::addColumn<QString>("message");  // part of it

    const auto options = [](const QStringList &arguments, const QString &message) {
        return std::make_tuple(arguments, QByteArray(), message);
    };
    const auto stateFile = [](const QByteArray &json, const QString &message) {
        return std::make_tuple(QStringList{"--state", "@STATE"}, json, "@STATE: " + message);
    };
    const std::pair<const char *, std::tuple<QStringList, QByteArray, QString>> rows[] = {
        {"unknown firmware", options({"--firmware", "mid"}, "\"mid\"")},
        {"stray bytes not hex", options({"--stray", "5G"}, "\"5G\"")},
        {"empty fragments", options({"--fragment", "0"}, "\"0\"")},
        {"missing state file",
         options({"--state", "/nonexistent/state.json"}, "/nonexistent/state.json: ")},
        {"missing trace",
         options({"--replay", "/nonexistent/trace.txt"}, "/nonexistent/trace.txt: ")},
        {"trace without a parameter response",
         options({"--replay", "/dev/null"}, "/dev/null: no complete parameter response")},
        // What is read must never be written over: named as it is, or in another spelling.
        {"--state saving over the trace",
         options({"--replay", "@TRACE", "--state", "@TRACE"}, "are the same file")},
        {"--save-state over the trace by a link",
         options({"--replay", "@TRACE", "--save-state", "@LINKED"}, "are the same file")},
        {"--log over the trace as a//b",
         options({"--replay", "@TRACE", "--log", "@DIR//TRACE"}, "are the same file")},
        {"--link in the place of the trace's link",
         options({"--replay", "@LINKED", "--link", "@LINKED"}, "are the same file")},
        {"--log over the state file read",
         options({"--state", "@STATE", "--log", "@STATE"}, "are the same file")},
        {"two outputs, one file", options({"--save-state", "@DIR/out", "--log", "@DIR/out"},
                                          "one output would overwrite the other")},
        {"--state, --replay and --save-state",
         options({"--replay", "@TRACE", "--state", "@DIR/a", "--save-state", "@DIR/b"},
                 "give only --save-state")},
        {"endless trace", options({"--replay", "/dev/zero"}, "larger than 16 MiB")},
        {"state file of 3 GiB", options({"--state", "@BIG"}, "@BIG: larger than 1 MiB")},
        {"log that cannot be written",
         options({"--log", "/dev/full"}, "cannot write the log: No space left on device")},
        {"state file not JSON", stateFile("{", "not JSON")},
        {"state file: unknown keys",
         stateFile(R"({"colour": 1, "size": 2})", "unknown keys \"colour\", \"size\"")},
        {"state file: a number for the block",
         stateFile(R"({"parameterBlock": 5})",
                   "\"parameterBlock\": expected a text, got a number")},
        {"state file: block not hex",
         stateFile(R"({"parameterBlock": "0Z"})", "\"parameterBlock\": expected hex text")},
        {"state file: block too long",
         stateFile("{\"parameterBlock\": \"" + QByteArray(512, '0') + "\"}",
                   "\"parameterBlock\": 256 bytes")},
        {"state file: channel table of two bytes",
         stateFile(R"({"channelTable": "3435"})", "\"channelTable\": 2 bytes")},
        {"state file: channel table twice",
         stateFile(R"({"channelTable": "", "channelRecords": ""})", "\"channelRecords\": give")},
        {"state file: settings not an object",
         stateFile(R"({"settings": ["FSK"]})", "\"settings\": expected an object, got a list")},
        {"state file: unknown setting",
         stateFile(R"({"settings": {"colour": "red"}})", "\"settings\": unknown key \"colour\"")},
        {"state file: a setting not an option",
         stateFile(R"({"settings": {"power": "M"}})", "\"settings.power\": \"M\" is not one of")},
        {"state file: a frequency not a text",
         stateFile(R"({"settings": {"frequencies": [454.05]}})",
                   "\"settings.frequencies[0]\": expected a text, got a number")},
        {"state file: settings on a short block",
         stateFile(R"({"parameterBlock": "00", "settings": {"power": "L"}})",
                   "\"settings\": a parameter block of 1 bytes is too short")},
        {"state file: serial number on a short block",
         stateFile(R"({"parameterBlock": "00", "serialNumber": "A1"})",
                   "\"serialNumber\": a parameter block of 1 bytes is too short")},
        {"state file: FSK on an older radio",
         stateFile(R"({"firmware": "old", "settings": {"modulation": "FSK", "airBaud": "9600"}})",
                   "\"settings.modulation\": an older radio")},
        {"state file: air baud of the other modulation",
         stateFile(R"({"settings": {"airBaud": "9600"}})",
                   "\"settings.airBaud\": \"9600\" does not go with modulation \"LORA\"")},
    };
    for (const auto &[name, row] : rows) {
        const auto &[arguments, state, message] = row;
        QTest::newRow(name) << arguments << state << message;
    }
}

void TestSimExecutable::rejectsUnusableOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, state);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFiles(dir, state);

    QProcess sim;
    sim.start(QStringLiteral(TMX9_SIM_EXECUTABLE), withPaths(arguments, dir));
    QVERIFY(sim.waitForFinished(5000));
    QVERIFY(sim.exitCode() != 0);
    QCOMPARE(sim.readAllStandardOutput(), QByteArray()); // no port announced
    const QString error = QString::fromUtf8(sim.readAllStandardError());
    const QString expected = withPaths({message}, dir).constFirst();
    QVERIFY2(error.startsWith("tmx9-sim: ") && error.contains(expected), qPrintable(error));
    // Nothing it was given was written over.
    QFile trace(dir.filePath("TRACE"));
    QVERIFY(trace.open(QIODevice::ReadOnly));
    QCOMPARE(trace.readAll(), traceOfTwoReads());
    QFile stateFile(dir.filePath("STATE"));
    QVERIFY(stateFile.open(QIODevice::ReadOnly));
    QCOMPARE(stateFile.readAll(), state);
}

void TestSimExecutable::anyBaudOption_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("heard");
    QTest::newRow("own rate only") << QStringList() << false;
    QTest::newRow("--any-baud") << QStringList{QStringLiteral("--any-baud")} << true;
}

void TestSimExecutable::anyBaudOption()
{
    QFETCH(QStringList, options);
    QFETCH(bool, heard);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath(QStringLiteral("traffic.log"));
    QProcess sim;
    sim.start(QStringLiteral(TMX9_SIM_EXECUTABLE),
              QStringList{QStringLiteral("--log"), log} + options);
    QVERIFY(sim.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();

    RawClient client(path, 4800);
    client.send(tmx9::readRequest());
    if (heard) {
        QVERIFY(client.waitForLines(2));
    } else {
        const auto logged = [&] {
            QFile file(log);
            return file.open(QIODevice::ReadOnly) &&
                   file.readAll().contains(
                       "noise: sent at 4800 baud, the radio listens at 115200 baud");
        };
        QVERIFY(QTest::qWaitFor(logged, 5000));
        QVERIFY(client.lines().isEmpty());
    }
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(TestSimExecutable)
#include "tst_simexecutable.moc"
