// Every fault of the simulated radio has the effect on the line that the tool's tests rely on.
#include "rawclient.h"
#include "simradio.h"

#include "frames.h"
#include "plans.h"
#include "receiver.h"

#include <QSignalSpy>
#include <QTest>

using tmx9sim::Faults;
using tmx9sim::SimRadio;

namespace {

constexpr qint64 kNsPerMs = 1000000;
// Parameter response (N = 69) and channel table response, CR LF included.
constexpr int kReadAnswerBytes = (69 + 9) + (140 + 9);

QByteArray parameterFrame()
{
    return QByteArray::fromHex(tmx9::kDefaultParameterHex);
}

} // namespace

class TestSimFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void silentAppliesAndAnswersNothing();
    void noAckAppliesWithoutAcknowledging();
    void lateAcknowledgement();
    void fragmentsArriveInPieces();
    void strayBytesSpoilTheResponsesButNotTheAck();
    void badChecksumStillDecodes();
    void crLfInBodyCutsTheResponses();
    void closeAfterBytes();
    void closeOnWriteFrame();
    void pacedAtWireTime_data();
    void pacedAtWireTime();

private:
    void startWith(const Faults &faults);

    SimRadio *radio_ = nullptr;
    RawClient *client_ = nullptr;
};

void TestSimFaults::init()
{
    radio_ = new SimRadio;
}

void TestSimFaults::cleanup()
{
    delete client_;
    client_ = nullptr;
    delete radio_;
    radio_ = nullptr;
}

void TestSimFaults::startWith(const Faults &faults)
{
    radio_->setFaults(faults);
    QVERIFY(radio_->start());
    client_ = new RawClient(radio_->slavePath());
    QVERIFY(client_->isOpen());
}

void TestSimFaults::silentAppliesAndAnswersNothing()
{
    Faults faults;
    faults.ackDelayMs = 100;
    startWith(faults);
    client_->send(parameterFrame());
    QTRY_COMPARE(radio_->acknowledgements(), 1);
    // The acknowledgement still on its way is never sent either.
    faults.silent = true;
    radio_->setFaults(faults);
    const QByteArray block = radio_->parameterBlock();

    client_->send(tmx9::readRequest());
    client_->send(tmx9::buildWriteFrame(0x07, QByteArray("\x31", 1)));
    client_->send(tmx9::kSetFsk);
    client_->send(tmx9::kLogRadioInfo);
    client_->idle(400);

    QCOMPARE(client_->received(), QByteArray());
    QCOMPARE(radio_->parameterBlock(), block);
    // It still hears everything.
    QCOMPARE(radio_->receivedLines().size(), 5);
}

void TestSimFaults::noAckAppliesWithoutAcknowledging()
{
    Faults faults;
    faults.noAck = true;
    startWith(faults);

    client_->send(tmx9::buildWriteFrame(0x07, QByteArray("\x31", 1)));
    client_->idle(300);
    QCOMPARE(client_->received(), QByteArray());
    QCOMPARE(radio_->settings().workMode, QStringLiteral("RX"));

    // Reads are still answered.
    client_->send(tmx9::readRequest());
    QVERIFY(client_->waitForLines(2));
}

void TestSimFaults::lateAcknowledgement()
{
    constexpr int delayMs = 300;
    Faults faults;
    faults.ackDelayMs = delayMs;
    startWith(faults);

    const qint64 sent = client_->clock().nsecsElapsed();
    client_->send(parameterFrame());
    client_->send(tmx9::readRequest());
    QVERIFY(client_->waitForLines(3));

    // The read answer does not wait behind the acknowledgement.
    QCOMPARE(tmx9::classify(client_->lines().at(0)), tmx9::LineKind::Parameters);
    QCOMPARE(tmx9::classify(client_->lines().at(2)), tmx9::LineKind::WriteAck);
    QVERIFY(client_->lineTimeNs(1) - sent < 150 * kNsPerMs);
    const qint64 ackAfterMs = (client_->lineTimeNs(2) - sent) / kNsPerMs;
    QVERIFY2(ackAfterMs >= delayMs - 5 && ackAfterMs < delayMs + 300,
             qPrintable(QString::number(ackAfterMs)));
}

void TestSimFaults::fragmentsArriveInPieces()
{
    constexpr int pieceBytes = 16;
    constexpr int gapMs = 15;
    Faults faults;
    faults.fragmentBytes = pieceBytes;
    faults.fragmentGapMs = gapMs;
    startWith(faults);

    client_->send(tmx9::readRequest());
    QVERIFY(client_->waitForLines(2, 5000));

    const auto chunks = client_->chunks();
    const int pieces =
        (69 + 9 + pieceBytes - 1) / pieceBytes + (140 + 9 + pieceBytes - 1) / pieceBytes;
    QCOMPARE(chunks.size(), pieces);
    for (const auto &chunk : chunks)
        QVERIFY(chunk.bytes.size() <= pieceBytes);
    for (int index = 1; index < chunks.size(); ++index) {
        const qint64 gap = chunks.at(index).timeNs - chunks.at(index - 1).timeNs;
        QVERIFY2(gap >= (gapMs - 3) * kNsPerMs, qPrintable(QString::number(gap)));
    }
    // Cut into pieces, the responses are still whole once joined.
    QCOMPARE(tmx9::classify(client_->lines().at(0)), tmx9::LineKind::Parameters);
    QCOMPARE(tmx9::decodeChannelTable(client_->lines().at(1)).size(), 20);
}

void TestSimFaults::strayBytesSpoilTheResponsesButNotTheAck()
{
    Faults faults;
    faults.strayBytes = QByteArray("\x55\xAA", 2);
    startWith(faults);

    client_->send(tmx9::readRequest());
    client_->send(parameterFrame());
    QVERIFY(client_->waitForLines(3));

    for (int index = 0; index < 3; ++index)
        QVERIFY(client_->lines().at(index).startsWith(faults.strayBytes));
    QCOMPARE(tmx9::classify(client_->lines().at(0)), tmx9::LineKind::Dropped);
    QCOMPARE(tmx9::classify(client_->lines().at(1)), tmx9::LineKind::Dropped);
    QCOMPARE(tmx9::classify(client_->lines().at(2)), tmx9::LineKind::WriteAck);
}

void TestSimFaults::badChecksumStillDecodes()
{
    Faults faults;
    faults.badChecksum = true;
    startWith(faults);

    client_->send(tmx9::readRequest());
    client_->send(parameterFrame());
    QVERIFY(client_->waitForLines(3));

    for (const QByteArray &line : client_->lines())
        QVERIFY(tmx9::checksum(line.chopped(1)) != static_cast<unsigned char>(line.back()));
    // The tool never checks: the values come through all the same.
    const auto report = tmx9::decodeParameters(client_->lines().at(0));
    QVERIFY(report);
    QCOMPARE(report->protocol.value_or(QString()), QStringLiteral("Transparent"));
    QCOMPARE(tmx9::decodeChannelTable(client_->lines().at(1)).size(), 20);
    QCOMPARE(tmx9::classify(client_->lines().at(2)), tmx9::LineKind::WriteAck);
}

void TestSimFaults::crLfInBodyCutsTheResponses()
{
    Faults faults;
    faults.crLfInParameters = true;
    faults.crLfInChannelTable = true;
    startWith(faults);
    const QByteArray block = radio_->parameterBlock();

    client_->send(tmx9::readRequest());
    QVERIFY(client_->waitForLines(4));
    client_->idle(50);
    const auto lines = client_->lines();
    QCOMPARE(lines.size(), 4);

    QCOMPARE(tmx9::classify(lines.at(0)), tmx9::LineKind::Parameters);
    QVERIFY(!tmx9::decodeParameters(lines.at(0))); // too short for its length byte
    QCOMPARE(tmx9::classify(lines.at(1)), tmx9::LineKind::Dropped);
    QCOMPARE(tmx9::classify(lines.at(2)), tmx9::LineKind::ChannelTable);
    QCOMPARE(tmx9::decodeChannelTable(lines.at(2)), tmx9::defaultSettings().frequencies.mid(0, 5));
    QCOMPARE(tmx9::classify(lines.at(3)), tmx9::LineKind::Dropped);
    // Only the response is spoilt, not what the radio holds.
    QCOMPARE(radio_->parameterBlock(), block);
}

void TestSimFaults::closeAfterBytes()
{
    constexpr int limit = 50;
    Faults faults;
    faults.closeAfterBytes = limit;
    startWith(faults);
    QSignalSpy stopped(radio_, &SimRadio::stopped);

    client_->send(tmx9::readRequest());
    QVERIFY(client_->waitForHangUp());
    QCOMPARE(client_->received().size(), limit);
    QVERIFY(client_->lines().isEmpty());
    QVERIFY(!radio_->isRunning());
    QCOMPARE(stopped.count(), 1);
}

void TestSimFaults::closeOnWriteFrame()
{
    Faults faults;
    faults.closeOnWriteFrame = 2;
    startWith(faults);

    // The second copy of the frame finds the line gone, after the first was acknowledged.
    client_->send(tmx9::buildWriteFrame(0x07, QByteArray("\x31", 1)));
    client_->idle(100);
    client_->send(tmx9::buildWriteFrame(0x07, QByteArray("\x30", 1)));
    QVERIFY(client_->waitForHangUp());
    QCOMPARE(client_->lines().size(), 1);
    QCOMPARE(tmx9::classify(client_->lines().at(0)), tmx9::LineKind::WriteAck);
    QCOMPARE(radio_->writesApplied(), 1);
    QCOMPARE(radio_->settings().workMode, QStringLiteral("RX"));
    QVERIFY(!radio_->isRunning());
}

void TestSimFaults::pacedAtWireTime_data()
{
    QTest::addColumn<int>("baud");
    QTest::newRow("9600") << 9600;
    QTest::newRow("115200") << 115200;
}

void TestSimFaults::pacedAtWireTime()
{
    QFETCH(int, baud);
    Faults faults;
    faults.paceBaud = baud;
    startWith(faults);

    const qint64 sent = client_->clock().nsecsElapsed();
    client_->send(tmx9::readRequest());
    QVERIFY(client_->waitForLines(2, 5000));

    const double wireMs = kReadAnswerBytes * 10.0 * 1000.0 / baud;
    const double tookMs = double(client_->lineTimeNs(1) - sent) / kNsPerMs;
    QVERIFY2(tookMs >= wireMs * 0.95 && tookMs <= wireMs + 250,
             qPrintable(QStringLiteral("%1 ms for %2 ms of wire time").arg(tookMs).arg(wireMs)));
    // Spread over the time, not held back and sent at once.
    QVERIFY(client_->chunks().size() >= 4);
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
