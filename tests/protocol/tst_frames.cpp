#include "describe.h"
#include "frames.h"
#include "plans.h"
#include "recording.h"

#include <QtTest>

using namespace tmx9;

Q_DECLARE_METATYPE(tmx9::RadioSettings)
Q_DECLARE_METATYPE(tmx9::TransmissionPlan)

namespace {

RadioSettings with(void (*change)(RadioSettings &))
{
    RadioSettings settings = defaultSettings();
    change(settings);
    return settings;
}

QByteArray hexBytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

// A response as the radio sends it, CR LF included.
QByteArray response(const QByteArray &header, const QByteArray &body)
{
    const QByteArray line = header + body;
    return line + char(checksum(line)) + kCrLf;
}

// Traffic lines as tmx9ctl and the window write them.
QString fromRadio(const QByteArray &bytes, const QString &tag = {})
{
    return tagTraceLine(
        formatTraceLine(Direction::FromRadio, 167253000, bytes, describeLine(bytes)), tag);
}
QString toRadio(const QByteArray &bytes, const QString &tag = {})
{
    return tagTraceLine(formatTraceLine(Direction::ToRadio, 166375000, bytes, describeLine(bytes)),
                        tag);
}
QByteArray traceOf(const QStringList &lines, const char *newline = "\n")
{
    return (lines.join(QLatin1String(newline)) + QLatin1String(newline)).toUtf8();
}

} // namespace

class FramesTest : public QObject
{
    Q_OBJECT

private slots:
    void wireFrames_data();
    void wireFrames();
    void writeFrameLengthLimit();
    void unbuildableSettings_data();
    void unbuildableSettings();
    void plans_data();
    void plans();
    void traceLineLayout();
    void traceLinesReadBack_data();
    void traceLinesReadBack();
    void traceRecordings_data();
    void traceRecordings();
};

void FramesTest::wireFrames_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("expected");

    QTest::addRow("read request") << toHexText(readRequest()) << "242452491B00000D0A";
    QTest::addRow("default parameters, checksum 0F padded")
        << parameterFrameHex(defaultSettings()) << "2424524A1B0E07303332FFFFFF30FF35310001010F0D0A";
    QTest::addRow("default channel table, checksum C5")
        << channelTableFrameHex(defaultSettings())
        << "2424524A1B4780"
           "3435343035303034353530353030343536303530303435373035303034353830353030"
           "3435393035303034363030353030343631303530303436323035303034363330353030"
           "C50D0A";
    QTest::addRow("RX South 7 L 9600 3500 enable, checksum E6")
        << parameterFrameHex(with([](RadioSettings &s) {
               s.workMode = "RX";
               s.protocol = "South";
               s.channel = "7";
               s.power = "L";
               s.serialBaud = "9600";
               s.airBaud = "3500";
               s.repeater = "enable";
           }))
        << "2424524A1B0E07313432FFFFFF37003123010101E60D0A";
    QTest::addRow("FSK 19200 writes air baud 31") << parameterFrameHex(with([](RadioSettings &s) {
        s.modulation = "FSK";
        s.airBaud = "19200";
    })) << "2424524A1B0E07303332FFFFFF30FF35310001010F0D0A";
    const QString bounds = channelTableFrameHex(with([](RadioSettings &s) {
        s.frequencies.first() = "200.0000";
        s.frequencies.last() = "500.0000";
    }));
    QTest::addRow("200 and 500 MHz records")
        << bounds.mid(14, 14) + bounds.mid(14 + 9 * 14, 14) << "3230303030303035303030303030";
    QTest::addRow("stored default texts")
        << QString(kDefaultParameterHex) + kDefaultChannelTableHex
        << parameterFrameHex(defaultSettings()) + channelTableFrameHex(defaultSettings());
}

void FramesTest::wireFrames()
{
    QFETCH(QString, hex);
    QFETCH(QString, expected);
    QCOMPARE(hex, expected);
}

void FramesTest::writeFrameLengthLimit()
{
    const QByteArray longest = buildWriteFrame(0x20, QByteArray(254, 'x'));
    QCOMPARE(longest.size(), 254 + 10);
    QCOMPARE(static_cast<unsigned char>(longest.at(5)), 0xFF);
    QCOMPARE(checksum(longest.left(longest.size() - 3)),
             static_cast<unsigned char>(longest.at(longest.size() - 3)));
    // One more byte would wrap the length byte to zero.
    QVERIFY(buildWriteFrame(0x20, QByteArray(255, 'x')).isEmpty());
}

void FramesTest::unbuildableSettings_data()
{
    QTest::addColumn<RadioSettings>("settings");

    QTest::addRow("lower-case option") << with([](RadioSettings &s) { s.protocol = "south"; });
    QTest::addRow("channel beyond 9") << with([](RadioSettings &s) { s.channel = "10"; });
    QTest::addRow("nine frequencies") << with([](RadioSettings &s) { s.frequencies.removeLast(); });
    QTest::addRow("frequency not rewritten")
        << with([](RadioSettings &s) { s.frequencies[3] = "454.05"; });
    QTest::addRow("frequency out of range")
        << with([](RadioSettings &s) { s.frequencies[9] = "600.0000"; });
    QTest::addRow("modulation lora") << with([](RadioSettings &s) { s.modulation = "lora"; });
}

void FramesTest::unbuildableSettings()
{
    QFETCH(RadioSettings, settings);
    QVERIFY(writeConfigPlan(settings).isEmpty());
}

void FramesTest::plans_data()
{
    QTest::addColumn<TransmissionPlan>("plan");
    QTest::addColumn<TransmissionPlan>("expected");
    QTest::addColumn<int>("totalMs");

    const QByteArray param = hexBytes(kDefaultParameterHex);
    const QByteArray chan = hexBytes(kDefaultChannelTableHex);
    const auto fsk = [](const char *airBaud) {
        RadioSettings settings = defaultSettings();
        settings.modulation = "FSK";
        settings.airBaud = airBaud;
        return writeConfigPlan(settings);
    };

    QTest::addRow("LORA: parameters first")
        << writeConfigPlan(defaultSettings())
        << TransmissionPlan{{param, 100}, {param, 100},    {chan, 100},
                            {chan, 100},  {kSetLora, 100}, {kSetLora, 0}}
        << 500;
    QTest::addRow("FSK 9600")
        << fsk("9600")
        << TransmissionPlan{{param, 100},           {param, 100},   {chan, 100}, {chan, 100},
                            {kSetAirBaud9600, 100}, {kSetFsk, 100}, {kSetFsk, 0}}
        << 600;
    QTest::addRow("FSK 19200") << fsk("19200") << TransmissionPlan{{param, 100},
                                                                   {param, 100},
                                                                   {chan, 100},
                                                                   {chan, 100},
                                                                   {kSetAirBaud19200, 100},
                                                                   {kSetFsk, 100},
                                                                   {kSetFsk, 0}}
                               << 600;
    QTest::addRow("FSK with a LoRa rate: no AIRBT, same waits")
        << fsk("11000") << TransmissionPlan{{param, 100}, {param, 100},   {chan, 100}, {chan, 100},
                                            {{}, 100},    {kSetFsk, 100}, {kSetFsk, 0}}
        << 600;
    QTest::addRow("default: channel table first")
        << writeDefaultPlan() << TransmissionPlan{{chan, 100},  {chan, 100},     {param, 100},
                                                  {param, 100}, {kSetLora, 100}, {kSetLora, 0}}
        << 500;

    // A new serial rate: everything at the present rate first, then the parameter frame alone.
    RadioSettings to9600 = defaultSettings();
    to9600.serialBaud = "9600";
    const QByteArray param9600 = QByteArray::fromHex(parameterFrameHex(to9600).toLatin1());
    const auto passes = [](const TransmissionPlan &plan, const RadioSettings &settings,
                           const char *presentRate) {
        return rateChangePasses(plan, settings, presentRate);
    };
    QTest::addRow("to 9600, first pass at 115200")
        << passes(writeConfigPlan(to9600), to9600, "115200").keepRate
        << writeConfigPlan(defaultSettings()) << 500;
    QTest::addRow("to 9600, second pass")
        << passes(writeConfigPlan(to9600), to9600, "115200").newRate
        << TransmissionPlan{{param9600, 100}, {param9600, 100}} << 200;
    QTest::addRow("default at 9600, first pass")
        << passes(writeDefaultPlan(), defaultSettings(), "9600").keepRate
        << TransmissionPlan{{chan, 100},      {chan, 100},     {param9600, 100},
                            {param9600, 100}, {kSetLora, 100}, {kSetLora, 0}}
        << 500;
    QTest::addRow("default at 9600, second pass")
        << passes(writeDefaultPlan(), defaultSettings(), "9600").newRate
        << TransmissionPlan{{param, 100}, {param, 100}} << 200;
    QTest::addRow("no radio speaks 4800")
        << passes(writeDefaultPlan(), defaultSettings(), "4800").keepRate << TransmissionPlan{}
        << 0;
    QTest::addRow("a plan without that parameter frame")
        << passes(writeDefaultPlan(), to9600, "115200").newRate << TransmissionPlan{} << 0;
}

void FramesTest::plans()
{
    QFETCH(TransmissionPlan, plan);
    QFETCH(TransmissionPlan, expected);
    QFETCH(int, totalMs);

    QCOMPARE(plan.size(), expected.size());
    for (int i = 0; i < plan.size(); ++i) {
        QCOMPARE(plan[i].bytes.toHex(' '), expected[i].bytes.toHex(' '));
        QCOMPARE(plan[i].waitMs, expected[i].waitMs);
    }
    QCOMPARE(totalWaitMs(plan), totalMs);
}

// The layout the README documents for the simulated radio's log and tmx9ctl's trace.
void FramesTest::traceLineLayout()
{
    QCOMPARE(formatTraceLine(Direction::ToRadio, 12345678, readRequest(), "read request"),
             QStringLiteral("->     12.346 ms  24 24 52 49 1B 00 00 0D 0A  read request"));
    QCOMPARE(formatTraceLine(Direction::FromRadio, 9876543210123, "OK\r\n", "reply"),
             QStringLiteral("<- 9876543.210 ms  4F 4B 0D 0A  reply"));
}

void FramesTest::traceLinesReadBack_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("traffic");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("tag");
    const QString sent = formatTraceLine(Direction::ToRadio, 12345678, readRequest(), "request");
    const QString received = formatTraceLine(Direction::FromRadio, 9876543210000, "O\r\n", "[x]");
    QTest::newRow("one port") << sent << true << "request"
                              << "";
    QTest::newRow("several ports") << tagTraceLine(received, "COM 3") << true << "[x]"
                                   << "COM 3";
    QTest::newRow("note") << formatTraceNote("opened", "COM3") << false << ""
                          << "";
    QTest::newRow("no bytes") << "->      1.000 ms    empty" << false << ""
                              << "";
    QTest::newRow("lower-case hex") << "->      1.000 ms  0d 0a  x" << false << ""
                                    << "";
    // Nanoseconds in 64 bits end a little past 9223372036854 ms.
    QTest::newRow("time past 64 bits of nanoseconds")
        << "<- 9300000000000.000 ms  00  x" << false << ""
        << "";
    QTest::newRow("time past 64 bits of milliseconds")
        << "<- 99999999999999999999.000 ms  00  x" << false << ""
        << "";
}

// What a trace says can be read back: the replaying radio depends on it.
void FramesTest::traceLinesReadBack()
{
    QFETCH(QString, line);
    QFETCH(bool, traffic);
    QFETCH(QString, summary);
    QFETCH(QString, tag);
    const auto entry = parseTraceLine(line);
    QCOMPARE(bool(entry), traffic);
    if (!entry)
        return;
    QCOMPARE(entry->summary, summary);
    QCOMPARE(entry->tag, tag);
    // The times and bytes are the ones written, to the microsecond the layout keeps.
    const QString again = formatTraceLine(entry->direction, entry->timeNs, entry->bytes, summary);
    QCOMPARE(tagTraceLine(again, tag), line);
}

void FramesTest::traceRecordings_data()
{
    QTest::addColumn<QByteArray>("trace");
    QTest::addColumn<QString>("port"); // asked for; empty: any
    QTest::addColumn<QByteArray>("parameters");
    QTest::addColumn<QByteArray>("channelTable");
    QTest::addColumn<bool>("channelTableFirst");
    QTest::addColumn<QString>("recordedPort"); // the recording's, or what is missing
    QTest::addColumn<QStringList>("ports");

    const QByteArray first = response("$$RI\xB1\x45", QByteArray(69, '1'));
    const QByteArray last = response("$$RI\xB1\x45", QByteArray(69, '2'));
    const QByteArray older = response("$$RI\xB1\x44", QByteArray(68, '3'));
    const QByteArray table = response("$$RI\xB1\x8C", QByteArray(140, '4'));
    const QByteArray request = readRequest();
    const QString usb0 = QStringLiteral("/dev/ttyUSB0");
    const QString usb1 = QStringLiteral("/dev/ttyUSB1");
    const QStringList ctlRead{
        "-- tmx9ctl read --port /dev/ttyUSB0 --trace trace.txt",
        "-- read /dev/ttyUSB0",
        "-- opened /dev/ttyUSB0 at 115200 baud, 8N1, no flow control",
        toRadio(request),
        fromRadio(first),
        fromRadio(table),
    };
    const QStringList ctlEnd{"-- closed /dev/ttyUSB0", "-- exit status 0"};
    // Two radios read at once: the notes and lines of each carry its port.
    const QStringList twoPorts{
        "-- tmx9ctl read --port /dev/ttyUSB0 --port /dev/ttyUSB1 --trace trace.txt",
        "-- /dev/ttyUSB0: opened /dev/ttyUSB0 at 115200 baud, 8N1, no flow control",
        "-- /dev/ttyUSB1: opened /dev/ttyUSB1 at 115200 baud, 8N1, no flow control",
        toRadio(request, usb0),
        toRadio(request, usb1),
        fromRadio(first, usb0),
        fromRadio(older, usb1),
        fromRadio(table, usb0),
        "-- /dev/ttyUSB0: closed /dev/ttyUSB0",
        "-- /dev/ttyUSB1: closed /dev/ttyUSB1",
    };
    const QStringList windowHeader{
        "-- tmx9-config 0.0.2",
        "-- Debian GNU/Linux 12 (bookworm) (linux 6.1.0-18-amd64, x86_64), Qt 5.15.8",
        "-- started 2024-03-25 09:14:03 UTC; times are milliseconds since then",
    };

    QTest::newRow("tmx9ctl, one port")
        << traceOf(ctlRead + ctlEnd) << "" << first << table << false << usb0 << QStringList{usb0};
    QTest::newRow("two reads: the last counts")
        << traceOf(ctlRead + QStringList{toRadio(request), fromRadio(last), fromRadio(table)}) << ""
        << last << table << false << usb0 << QStringList{usb0};
    QTest::newRow("channel table first")
        << traceOf(ctlRead.mid(0, 4) + QStringList{fromRadio(table), fromRadio(first)}) << ""
        << first << table << true << usb0 << QStringList{usb0};
    QTest::newRow("several ports: the last parameter response's")
        << traceOf(twoPorts) << "" << older << QByteArray() << false << usb1
        << QStringList{usb0, usb1};
    QTest::newRow("several ports, one asked for")
        << traceOf(twoPorts) << usb0 << first << table << false << usb0 << QStringList{usb0, usb1};
    QTest::newRow("a port without a response")
        << traceOf(twoPorts) << "COM9" << QByteArray() << QByteArray() << false
        << "no complete parameter response from the radio on COM9" << QStringList{usb0, usb1};
    // The window names a port only when it opens it; a session may open several in turn.
    QTest::newRow("window log, two ports in turn")
        << traceOf(windowHeader + QStringList{"-- opened ttyUSB0 at 115200 baud", toRadio(request),
                                              fromRadio(first), fromRadio(table),
                                              "-- closed ttyUSB0", "-- opened ttyUSB1 at 9600 baud",
                                              toRadio(request), fromRadio(older),
                                              "-- closed ttyUSB1"})
        << "" << older << QByteArray() << false << "ttyUSB1" << QStringList{"ttyUSB0", "ttyUSB1"};
    QTest::newRow("window log on Windows")
        << traceOf(windowHeader + QStringList{"-- opened COM3 at 115200 baud", toRadio(request),
                                              fromRadio(table), fromRadio(first)},
                   "\r\n")
        << "COM3" << first << table << true << "COM3" << QStringList{"COM3"};
    // As the receiver cut them: at a CR LF in the body, or never ended.
    QByteArray crLfInBody = last;
    crLfInBody.replace(26, 2, kCrLf);
    QTest::newRow("cut responses do not count")
        << traceOf(ctlRead + QStringList{fromRadio(crLfInBody.left(28)),
                                         fromRadio(crLfInBody.mid(28)), fromRadio(last.chopped(2)),
                                         fromRadio(last + last),
                                         fromRadio(table.left(100) + kCrLf)})
        << "" << first << table << false << usb0 << QStringList{usb0};
    const QByteArray noRegisters = response(QByteArray("$$RI\xB1\x00", 6), QByteArray());
    QTest::newRow("a parameter response of no registers")
        << traceOf(ctlRead + QStringList{fromRadio(noRegisters)}) << "" << noRegisters << table
        << true << usb0 << QStringList{usb0};
    // The channel table of the read before tells nothing of the order.
    QTest::newRow("a read without its channel table")
        << traceOf(ctlRead + QStringList{toRadio(request), fromRadio(last)}) << "" << last << table
        << false << usb0 << QStringList{usb0};
    QTest::newRow("no note names the port") << traceOf({fromRadio(first), fromRadio(table)}) << ""
                                            << first << table << false << "" << QStringList{""};
    QTest::newRow("the tool's own lines only")
        << traceOf({toRadio(first), toRadio(table), "-- opened COM3 at 115200 baud"}) << ""
        << QByteArray() << QByteArray() << false << "no complete parameter response from the radio"
        << QStringList{};
}

// A trace or a window log gives back the radio it recorded: tmx9-sim --replay and
// tmx9ctl read --from-trace both stand on this.
void FramesTest::traceRecordings()
{
    QFETCH(QByteArray, trace);
    QFETCH(QString, port);
    QFETCH(QByteArray, parameters);
    QFETCH(QByteArray, channelTable);
    QFETCH(bool, channelTableFirst);
    QFETCH(QString, recordedPort);
    QFETCH(QStringList, ports);

    const QVector<PortEntry> entries = parseTrace(trace);
    QCOMPARE(recordedPorts(entries), ports);
    QString missing;
    const auto recording = lastRecording(entries, port.isEmpty() ? QString() : port, &missing);
    QCOMPARE(bool(recording), !parameters.isEmpty());
    if (!recording) {
        QCOMPARE(missing, recordedPort);
        return;
    }
    QCOMPARE(recording->parameterResponse.toHex(' '), parameters.toHex(' '));
    QCOMPARE(recording->channelTableResponse.toHex(' '), channelTable.toHex(' '));
    QCOMPARE(recording->channelTableFirst, channelTableFirst);
    QCOMPARE(recording->port, recordedPort);
}

QTEST_APPLESS_MAIN(FramesTest)
#include "tst_frames.moc"
