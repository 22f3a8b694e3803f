// The simulated radio seen from the tool's end of the line: what it answers decodes to the state
// it holds, and what the tool's write plans send changes that state as intended.
#include "rawclient.h"
#include "simradio.h"

#include "codes.h"
#include "frames.h"
#include "plans.h"
#include "receiver.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using tmx9sim::Firmware;
using tmx9sim::SimRadio;

Q_DECLARE_METATYPE(Firmware)
Q_DECLARE_METATYPE(tmx9::RadioSettings)
Q_DECLARE_METATYPE(tmx9::TransmissionPlan)

namespace {

tmx9::RadioSettings makeSettings(const QString &modulation, const QString &airBaud)
{
    tmx9::RadioSettings settings;
    settings.modulation = modulation;
    settings.protocol = QStringLiteral("South");
    settings.power = QStringLiteral("L");
    settings.channel = QStringLiteral("7");
    settings.airBaud = airBaud;
    settings.serialBaud = QStringLiteral("9600");
    settings.repeater = QStringLiteral("enable");
    settings.workMode = QStringLiteral("RX");
    for (int channel = 0; channel < 10; ++channel)
        settings.frequencies << QString::number(200.0 + 30.0 * channel + 0.0125, 'f', 4);
    return settings;
}

// Every setting as the window would show it, frequencies last.
QStringList fieldsOf(const tmx9::RadioSettings &s)
{
    return QStringList{s.modulation, s.protocol,   s.power,    s.channel,
                       s.airBaud,    s.serialBaud, s.repeater, s.workMode} +
           s.frequencies;
}

int countKind(const QList<QByteArray> &lines, tmx9::LineKind kind)
{
    int count = 0;
    for (const QByteArray &line : lines)
        count += tmx9::classify(line) == kind;
    return count;
}

// The tool's own way of writing: each step's bytes, then its wait, the plan's own timing.
void runPlan(RawClient &client, const tmx9::TransmissionPlan &plan)
{
    for (const tmx9::PlanStep &step : plan) {
        client.send(step.bytes);
        client.idle(step.waitMs);
    }
}

// The bytes of all the pieces, as the radio reads them: each piece waits until the radio has
// read the one before, so that they arrive apart.
void sendApart(RawClient &client, const SimRadio &radio, const QList<QByteArray> &pieces)
{
    qint64 sent = 0;
    for (const QByteArray &piece : pieces) {
        client.send(piece);
        sent += piece.size();
        QTRY_VERIFY([&] {
            qint64 read = 0;
            for (const tmx9sim::TrafficEntry &entry : radio.traffic())
                read += entry.direction == tmx9sim::TrafficEntry::Direction::ToRadio
                            ? entry.bytes.size()
                            : 0;
            return read >= sent;
        }());
    }
}

} // namespace

class TestSimRadio : public QObject
{
    Q_OBJECT

private slots:
    void readAnswerDecodesToState_data();
    void readAnswerDecodesToState();
    void writePlansChangeState_data();
    void writePlansChangeState();
    void framesNotApplied_data();
    void framesNotApplied();
    void cutsFramesByLength_data();
    void cutsFramesByLength();
    void textCommands_data();
    void textCommands();
    void stopHangsUpAndStartOpensAgain();
    void answersWaitForAClosedPort_data();
    void answersWaitForAClosedPort();
    void trafficIsRecordedAndLogged();
    void hearsOnlyItsOwnRate_data();
    void hearsOnlyItsOwnRate();
    void rateChangingWriteSwitchesAfterTheAck_data();
    void rateChangingWriteSwitchesAfterTheAck();
};

void TestSimRadio::readAnswerDecodesToState_data()
{
    QTest::addColumn<Firmware>("firmware");
    QTest::addColumn<bool>("channelTableFirst");
    QTest::addColumn<tmx9::RadioSettings>("settings");

    const auto fsk = makeSettings(QStringLiteral("FSK"), QStringLiteral("19200"));
    // An older radio's reader knows only two LoRa rates.
    const auto lora = makeSettings(QStringLiteral("LORA"), QStringLiteral("18000"));
    QTest::newRow("N=69, parameters first") << Firmware::New << false << fsk;
    QTest::newRow("N=69, channel table first") << Firmware::New << true << fsk;
    QTest::newRow("N=68, parameters first") << Firmware::Old << false << lora;
    QTest::newRow("N=68, channel table first") << Firmware::Old << true << lora;
}

void TestSimRadio::readAnswerDecodesToState()
{
    QFETCH(Firmware, firmware);
    QFETCH(bool, channelTableFirst);
    QFETCH(tmx9::RadioSettings, settings);

    SimRadio radio;
    radio.setFirmware(firmware);
    QVERIFY(radio.setSettings(settings));
    radio.setSerialNumber(QStringLiteral("AB1234"));
    radio.setFirmwareVersion(QStringLiteral("V9.87"));
    radio.setChannelTableFirst(channelTableFirst);
    QVERIFY(radio.start());
    RawClient client(radio.slavePath(), 9600);
    QVERIFY(client.isOpen());

    client.send(tmx9::readRequest());
    QVERIFY(client.waitForLines(2));
    QVERIFY(client.waitForAllSentBy(radio));
    QCOMPARE(client.lines().size(), 2);

    const QByteArray parameters = client.lines().at(channelTableFirst ? 1 : 0);
    const QByteArray channels = client.lines().at(channelTableFirst ? 0 : 1);
    QCOMPARE(tmx9::classify(parameters), tmx9::LineKind::Parameters);
    QCOMPARE(tmx9::classify(channels), tmx9::LineKind::ChannelTable);
    QCOMPARE(tmx9::declaredLength(parameters), firmware == Firmware::New ? 69 : 68);
    for (const QByteArray &line : {parameters, channels})
        QCOMPARE(tmx9::checksum(line.chopped(1)), static_cast<unsigned char>(line.back()));

    const auto report = tmx9::decodeParameters(parameters);
    QVERIFY(report);
    QCOMPARE(report->serialNumber, QStringLiteral("AB1234"));
    QCOMPARE(report->firmware, QStringLiteral("V9.87"));
    const QString unknown = QStringLiteral("?");
    const tmx9::RadioSettings decoded{
        report->modulation.value_or(unknown), report->protocol.value_or(unknown),
        report->power.value_or(unknown),      report->channel,
        report->airBaud.value_or(unknown),    report->serialBaud.value_or(unknown),
        report->repeater.value_or(unknown),   report->workMode.value_or(unknown),
        tmx9::decodeChannelTable(channels)};
    QCOMPARE(decoded.frequencies.size(), 20);
    QCOMPARE(fieldsOf(decoded), fieldsOf(settings) + decoded.frequencies.mid(10));
    QCOMPARE(fieldsOf(radio.settings()), fieldsOf(settings));
    QCOMPARE(radio.readRequests(), 1);
}

void TestSimRadio::writePlansChangeState_data()
{
    QTest::addColumn<tmx9::RadioSettings>("before");
    QTest::addColumn<tmx9::TransmissionPlan>("plan");
    QTest::addColumn<tmx9::RadioSettings>("after");
    QTest::addColumn<int>("modulationRegister");
    QTest::addColumn<int>("fskAirBaudRegister");

    const auto fsk19200 = makeSettings(QStringLiteral("FSK"), QStringLiteral("19200"));
    auto fsk9600 = makeSettings(QStringLiteral("FSK"), QStringLiteral("9600"));
    fsk9600.protocol = QStringLiteral("MAC");
    const auto lora = makeSettings(QStringLiteral("LORA"), QStringLiteral("3500"));
    const auto defaults = tmx9::defaultSettings();

    QTest::newRow("write default")
        << fsk19200 << tmx9::writeDefaultPlan() << defaults << 0x30 << 0x31;
    QTest::newRow("write config, FSK 19200")
        << defaults << tmx9::writeConfigPlan(fsk19200) << fsk19200 << 0x31 << 0x31;
    QTest::newRow("write config, FSK 9600")
        << fsk19200 << tmx9::writeConfigPlan(fsk9600) << fsk9600 << 0x31 << 0x30;
    QTest::newRow("write config, LORA 3500")
        << fsk9600 << tmx9::writeConfigPlan(lora) << lora << 0x30 << 0x30;
}

void TestSimRadio::writePlansChangeState()
{
    QFETCH(tmx9::RadioSettings, before);
    QFETCH(tmx9::TransmissionPlan, plan);
    QFETCH(tmx9::RadioSettings, after);
    QFETCH(int, modulationRegister);
    QFETCH(int, fskAirBaudRegister);

    SimRadio radio;
    QVERIFY(radio.setSettings(before));
    // The plans change the serial rate too; here only what lands in the registers counts.
    radio.setAnyBaud(true);
    QVERIFY(radio.start());
    RawClient client(radio.slavePath());
    QVERIFY(!plan.isEmpty());
    runPlan(client, plan);
    QTRY_COMPARE(radio.receivedLines().size(), plan.size());
    QVERIFY(client.waitForAllSentBy(radio));

    QCOMPARE(fieldsOf(radio.settings()), fieldsOf(after));
    QCOMPARE(uchar(radio.parameterBlock().at(65)), uchar(modulationRegister));
    QCOMPARE(uchar(radio.parameterBlock().at(66)), uchar(fskAirBaudRegister));
    // Each frame goes out twice and each copy is acknowledged.
    QCOMPARE(radio.writesApplied(), 4);
    QCOMPARE(radio.acknowledgements(), 4);
    QCOMPARE(countKind(client.lines(), tmx9::LineKind::WriteAck), 4);
    QCOMPARE(countKind(client.lines(), tmx9::LineKind::Parameters), 0);
    QCOMPARE(countKind(client.lines(), tmx9::LineKind::ChannelTable), 0);
    for (const QByteArray &line : client.lines()) {
        if (tmx9::classify(line) == tmx9::LineKind::WriteAck)
            QVERIFY(!line.startsWith(QByteArray("$$RJ\x1B")));
    }
}

void TestSimRadio::framesNotApplied_data()
{
    QTest::addColumn<QByteArray>("frame");

    QByteArray badChecksum = tmx9::buildWriteFrame(0x07, QByteArray("\x31\x34", 2));
    badChecksum[badChecksum.size() - 3] = char(badChecksum.at(badChecksum.size() - 3) ^ 0x01);
    QByteArray radioMarker = tmx9::buildWriteFrame(0x07, QByteArray("\x31", 1));
    radioMarker[4] = char(tmx9::kRadioMarker);
    radioMarker[radioMarker.size() - 3] =
        char(tmx9::checksum(radioMarker.left(radioMarker.size() - 3)));

    QTest::newRow("wrong checksum") << badChecksum;
    QTest::newRow("not the tool's marker") << radioMarker;
    QTest::newRow("past the end of the channel table")
        << tmx9::buildWriteFrame(0xFF, QByteArray("45405004550500"));
    QTest::newRow("past the end of the parameter block")
        << tmx9::buildWriteFrame(0x40, QByteArray(8, '\x01'));
}

void TestSimRadio::framesNotApplied()
{
    QFETCH(QByteArray, frame);

    SimRadio radio;
    QVERIFY(radio.start());
    RawClient client(radio.slavePath());
    const QByteArray block = radio.parameterBlock();
    const QByteArray records = radio.channelRecords();

    client.send(frame);
    QTRY_COMPARE(radio.receivedLines().size(), 1);
    // An answer would have left as the frame was handled.
    QVERIFY(client.waitForAllSentBy(radio));
    QCOMPARE(client.received(), QByteArray());
    QCOMPARE(radio.parameterBlock(), block);
    QCOMPARE(radio.channelRecords(), records);
    QCOMPARE(radio.writesApplied(), 0);

    // The line is not stuck: a good frame after it is applied.
    client.send(tmx9::buildWriteFrame(0x07, QByteArray("\x31", 1)));
    QVERIFY(client.waitForLines(1));
    QCOMPARE(tmx9::classify(client.lines().at(0)), tmx9::LineKind::WriteAck);
    QCOMPARE(radio.settings().workMode, QStringLiteral("RX"));
}

void TestSimRadio::cutsFramesByLength_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces"); // each read by the radio apart
    QTest::addColumn<int>("acks");
    QTest::addColumn<int>("responses");

    const QByteArray crLfData = tmx9::buildWriteFrame(20, QByteArray("\r\n\r\n", 4));
    const QByteArray channels = QByteArray::fromHex(tmx9::kDefaultChannelTableHex);
    const QByteArray request = tmx9::readRequest();
    const QByteArray write = tmx9::buildWriteFrame(0x07, QByteArray("\x31", 1));
    // A write frame whose length byte says more, or less, than it holds; its checksum as sent.
    const auto withLength = [&write](int length) {
        QByteArray frame = write;
        frame[5] = char(length);
        frame[frame.size() - 3] = char(tmx9::checksum(frame.left(frame.size() - 3)));
        return frame;
    };

    QTest::newRow("CR LF inside the data") << QList<QByteArray>{crLfData} << 1 << 0;
    QTest::newRow("frame in three pieces")
        << QList<QByteArray>{channels.left(5), channels.mid(5, 40), channels.mid(45)} << 1 << 0;
    QTest::newRow("two frames and a command in one piece")
        << QList<QByteArray>{request + crLfData + QByteArray(tmx9::kSetFsk)} << 1 << 2;
    QTest::newRow("noise before a request")
        << QList<QByteArray>{QByteArray("\x00\xFFxy\r", 5) + request} << 0 << 2;
    // A port closed mid-write leaves half a frame; the request after it must still be answered.
    QTest::newRow("truncated frame, then a request")
        << QList<QByteArray>{channels.left(30), request} << 0 << 2;
    QTest::newRow("truncated command, then a request")
        << QList<QByteArray>{QByteArray("$$01SET FS"), request} << 0 << 2;
    // A wrong length byte must not take the next frame down with it.
    QTest::newRow("length byte too long, then a frame")
        << QList<QByteArray>{withLength(40) + write} << 1 << 0;
    QTest::newRow("length byte too short, then a frame")
        << QList<QByteArray>{withLength(1) + write} << 1 << 0;
}

void TestSimRadio::cutsFramesByLength()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(int, acks);
    QFETCH(int, responses);

    SimRadio radio;
    radio.setCommandReplies(false);
    QVERIFY(radio.start());
    RawClient client(radio.slavePath());
    sendApart(client, radio, pieces);
    client.waitForLines(acks + responses, 1500);
    // No more lines are to come: a fixed wait.
    client.idle(100);

    QCOMPARE(countKind(client.lines(), tmx9::LineKind::WriteAck), acks);
    QCOMPARE(countKind(client.lines(), tmx9::LineKind::Parameters) +
                 countKind(client.lines(), tmx9::LineKind::ChannelTable),
             responses);
    QCOMPARE(client.lines().size(), acks + responses);
    if (pieces.first().contains(QByteArray("\x14\r\n\r\n", 5)))
        QCOMPARE(radio.parameterBlock().mid(20, 4), QByteArray("\r\n\r\n"));
}

void TestSimRadio::textCommands_data()
{
    QTest::addColumn<Firmware>("firmware");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("modulationRegister"); // -1: block unchanged
    QTest::addColumn<int>("fskAirBaudRegister");

    QTest::newRow("SET FSK") << Firmware::New << QByteArray(tmx9::kSetFsk) << QByteArray("OK")
                             << 0x31 << 0x30;
    QTest::newRow("SET AIRBT 19200")
        << Firmware::New << QByteArray(tmx9::kSetAirBaud19200) << QByteArray("OK") << 0x30 << 0x31;
    QTest::newRow("SET LORA after FSK")
        << Firmware::New << QByteArray(tmx9::kSetFsk) + tmx9::kSetLora << QByteArray("OK") << 0x30
        << 0x30;
    QTest::newRow("old radio refuses FSK")
        << Firmware::Old << QByteArray(tmx9::kSetFsk) << QByteArray("ERROR") << -1 << -1;
    QTest::newRow("unknown command")
        << Firmware::New << QByteArray("$$01SET FM\r\n") << QByteArray("ERROR") << -1 << -1;
    QTest::newRow("radio information") << Firmware::New << QByteArray(tmx9::kLogRadioInfo)
                                       << QByteArray("TMX9 SN AB1234") << -1 << -1;
}

void TestSimRadio::textCommands()
{
    QFETCH(Firmware, firmware);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(int, modulationRegister);
    QFETCH(int, fskAirBaudRegister);

    SimRadio radio;
    radio.setFirmware(firmware);
    radio.setSerialNumber(QStringLiteral("AB1234"));
    QVERIFY(radio.start());
    const QByteArray block = radio.parameterBlock();
    RawClient client(radio.slavePath());
    const int commands = command.count("\r\n");
    client.send(command);
    QVERIFY(client.waitForLines(commands));
    QVERIFY(client.waitForAllSentBy(radio));

    QCOMPARE(client.lines().size(), commands);
    QVERIFY(client.lines().last().startsWith(reply));
    for (const QByteArray &line : client.lines()) {
        QVERIFY(!line.contains("$$R"));
        QCOMPARE(tmx9::classify(line), tmx9::LineKind::Dropped);
    }
    if (modulationRegister < 0) {
        QCOMPARE(radio.parameterBlock(), block);
    } else {
        QCOMPARE(uchar(radio.parameterBlock().at(65)), uchar(modulationRegister));
        QCOMPARE(uchar(radio.parameterBlock().at(66)), uchar(fskAirBaudRegister));
    }
}

void TestSimRadio::stopHangsUpAndStartOpensAgain()
{
    SimRadio radio;
    QSignalSpy stopped(&radio, &SimRadio::stopped);
    QVERIFY(radio.start());
    {
        RawClient client(radio.slavePath());
        radio.stop();
        QVERIFY(!radio.isRunning());
        QCOMPARE(stopped.count(), 1);
        QVERIFY(client.waitForHangUp());
    }
    QVERIFY(radio.start());
    RawClient client(radio.slavePath());
    client.send(tmx9::readRequest());
    QVERIFY(client.waitForLines(2));
}

void TestSimRadio::answersWaitForAClosedPort_data()
{
    QTest::addColumn<bool>("discard");
    QTest::addColumn<int>("linesOnReopen");
    QTest::newRow("kept") << false << 2;
    QTest::newRow("discarded") << true << 0;
}

void TestSimRadio::answersWaitForAClosedPort()
{
    QFETCH(bool, discard);
    QFETCH(int, linesOnReopen);

    SimRadio radio;
    radio.setAnyBaud(true); // a bare open() sets no rate
    QVERIFY(radio.start());
    {
        // Asks, then closes the port before the answer can be read.
        const int fd = ::open(radio.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        const QByteArray request = tmx9::readRequest();
        QCOMPARE(::write(fd, request.constData(), size_t(request.size())), ssize_t(request.size()));
        QTRY_COMPARE(radio.readRequests(), 1);
        ::close(fd);
    }
    if (discard)
        radio.discardUnread();

    RawClient client(radio.slavePath());
    if (linesOnReopen > 0)
        QVERIFY(client.waitForLines(linesOnReopen));
    else
        client.idle(100); // nothing is to arrive: a fixed wait
    QCOMPARE(client.lines().size(), linesOnReopen);
}

void TestSimRadio::trafficIsRecordedAndLogged()
{
    QBuffer log;
    log.open(QIODevice::WriteOnly);
    SimRadio radio;
    radio.setLogDevice(&log);
    QVERIFY(radio.start());
    RawClient client(radio.slavePath());

    const qint64 before = radio.elapsedNs();
    client.send(tmx9::readRequest());
    QVERIFY(client.waitForLines(2));

    QByteArray toRadio, fromRadio;
    for (const tmx9sim::TrafficEntry &entry : radio.traffic()) {
        QVERIFY(entry.timeNs >= before);
        (entry.direction == tmx9sim::TrafficEntry::Direction::ToRadio ? toRadio : fromRadio) +=
            entry.bytes;
    }
    QCOMPARE(toRadio, tmx9::readRequest());
    QCOMPARE(fromRadio, client.received());
    QCOMPARE(radio.receivedLines().size(), 1);
    QCOMPARE(radio.receivedLines().at(0).bytes, tmx9::readRequest().chopped(2));

    const QStringList logLines = QString::fromUtf8(log.data()).split('\n', Qt::SkipEmptyParts);
    const QRegularExpression entry(QStringLiteral(R"(^(->|<-) +\d+\.\d{3} ms  ([0-9A-F]{2} )+ )"));
    QStringList summaries;
    for (const QString &line : logLines) {
        if (line.startsWith(QLatin1String("--")))
            continue;
        QVERIFY2(entry.match(line).hasMatch(), qPrintable(line));
        summaries << line.section(QStringLiteral("  "), -1);
    }
    QCOMPARE(summaries,
             (QStringList{QStringLiteral("read request"), QStringLiteral("parameter response N=69"),
                          QStringLiteral("channel table response")}));
    QVERIFY(logLines.first().contains(radio.slavePath()));
}

void TestSimRadio::hearsOnlyItsOwnRate_data()
{
    QTest::addColumn<int>("radioRate");
    QTest::addColumn<int>("toolRate");
    QTest::addColumn<bool>("anyBaud");

    const int radioRates[] = {115200, 38400, 19200, 9600};
    const int toolRates[] = {115200, 38400, 19200, 9600, 4800};
    for (const int radioRate : radioRates) {
        for (const int toolRate : toolRates)
            QTest::addRow("radio %d, tool %d", radioRate, toolRate)
                << radioRate << toolRate << false;
    }
    QTest::newRow("radio 9600, tool 115200, any rate") << 9600 << 115200 << true;
    QTest::newRow("radio 115200, tool 4800, any rate") << 115200 << 4800 << true;
}

void TestSimRadio::hearsOnlyItsOwnRate()
{
    QFETCH(int, radioRate);
    QFETCH(int, toolRate);
    QFETCH(bool, anyBaud);

    QBuffer log;
    log.open(QIODevice::WriteOnly);
    SimRadio radio;
    radio.setLogDevice(&log);
    radio.setAnyBaud(anyBaud);
    auto settings = tmx9::defaultSettings();
    settings.serialBaud = QString::number(radioRate);
    QVERIFY(radio.setSettings(settings));
    QVERIFY(radio.start());
    RawClient client(radio.slavePath(), toolRate);

    // A request at the tool's rate, then one at the radio's: the radio handles them in order,
    // so once it has taken both, an answer to the first can no longer be on its way.
    client.send(tmx9::readRequest());
    QTRY_COMPARE(radio.receivedLines().size(), 1);
    QVERIFY(client.setBaud(radioRate));
    client.send(tmx9::readRequest());
    QTRY_COMPARE(radio.receivedLines().size(), 2);

    const bool heard = anyBaud || toolRate == radioRate;
    QCOMPARE(radio.readRequests(), heard ? 2 : 1);
    QVERIFY(client.waitForLines(heard ? 4 : 2));
    QCOMPARE(countKind(client.lines(), tmx9::LineKind::Parameters), heard ? 2 : 1);
    const QString noise = QStringLiteral("noise: sent at %1 baud, the radio listens at %2 baud")
                              .arg(toolRate)
                              .arg(radioRate);
    QCOMPARE(QString::fromUtf8(log.data()).contains(noise), !heard);
}

void TestSimRadio::rateChangingWriteSwitchesAfterTheAck_data()
{
    QTest::addColumn<QString>("oldRate");
    QTest::addColumn<QString>("newRate");
    QTest::newRow("115200 to 38400") << "115200"
                                     << "38400";
    QTest::newRow("115200 to 9600") << "115200"
                                    << "9600";
    QTest::newRow("19200 to 115200") << "19200"
                                     << "115200";
}

void TestSimRadio::rateChangingWriteSwitchesAfterTheAck()
{
    QFETCH(QString, oldRate);
    QFETCH(QString, newRate);

    QBuffer log;
    log.open(QIODevice::WriteOnly);
    SimRadio radio;
    radio.setLogDevice(&log);
    auto settings = tmx9::defaultSettings();
    settings.serialBaud = oldRate;
    QVERIFY(radio.setSettings(settings));
    QVERIFY(radio.start());
    RawClient client(radio.slavePath(), oldRate.toInt());

    settings.serialBaud = newRate;
    const QByteArray frame = QByteArray::fromHex(tmx9::parameterFrameHex(settings).toLatin1());
    QVERIFY(!frame.isEmpty());
    client.send(frame);
    QVERIFY(client.waitForLines(1));
    QCOMPARE(tmx9::classify(client.lines().at(0)), tmx9::LineKind::WriteAck);
    QCOMPARE(radio.settings().serialBaud, newRate);
    QCOMPARE(radio.listeningRate(), newRate.toInt());
    // The acknowledgement went out before the switch.
    const QString text = QString::fromUtf8(log.data());
    const int ack = text.indexOf(QLatin1String("write ack"));
    QVERIFY(ack >= 0);
    QVERIFY(ack < text.indexOf(QStringLiteral("-- serial rate now %1 baud").arg(newRate)));

    // The tool's second copy and a read request, still at the old rate: noise.
    client.send(frame);
    QTRY_COMPARE(radio.receivedLines().size(), 2);
    client.send(tmx9::readRequest());
    QTRY_COMPARE(radio.receivedLines().size(), 3);
    QVERIFY(client.setBaud(newRate.toInt()));
    client.send(tmx9::readRequest());
    QVERIFY(client.waitForLines(3));

    QCOMPARE(radio.writesApplied(), 1);
    QCOMPARE(radio.acknowledgements(), 1);
    QCOMPARE(radio.readRequests(), 1);
    const auto report = tmx9::decodeParameters(client.lines().at(1));
    QVERIFY(report);
    QCOMPARE(report->serialBaud.value_or(QString()), newRate);
}

QTEST_GUILESS_MAIN(TestSimRadio)
#include "tst_simradio.moc"
