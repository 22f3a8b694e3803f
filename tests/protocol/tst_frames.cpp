#include "describe.h"
#include "frames.h"
#include "plans.h"

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

QTEST_APPLESS_MAIN(FramesTest)
#include "tst_frames.moc"
