// Every fault of the simulated radio has the effect on the line that the tool's tests rely on.
#include "rawclient.h"
#include "responses.h"
#include "simradio.h"
#include "transmitter.h"

#include "frames.h"
#include "plans.h"
#include "receiver.h"

#include <QSignalSpy>
#include <QTest>

using tmx9sim::Faults;
using tmx9sim::SimRadio;
using tmx9sim::TrafficEntry;

// Nanoseconds on the transmitter's clock, and how many bytes it must have released by then.
using ReleaseSchedule = QVector<QPair<qint64, int>>;
Q_DECLARE_METATYPE(tmx9sim::OutputShape)

namespace {

constexpr qint64 kNsPerMs = 1000000;
// Parameter response (N = 69) and channel table response, CR LF included.
constexpr int kReadAnswerBytes = (69 + 9) + (140 + 9);

QByteArray parameterFrame()
{
    return QByteArray::fromHex(tmx9::kDefaultParameterHex);
}

// What the radio sent, by its own record: the chunks as it wrote them, on its own clock.
QVector<TrafficEntry> sentBy(const SimRadio &radio)
{
    QVector<TrafficEntry> sent;
    for (const TrafficEntry &entry : radio.traffic()) {
        if (entry.direction == TrafficEntry::Direction::FromRadio)
            sent << entry;
    }
    return sent;
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
    void transmitterReleasesOnTime_data();
    void transmitterReleasesOnTime();

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
    // Nothing is to arrive: a fixed wait, well past the acknowledgement's delay.
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
    QTRY_COMPARE(radio_->writesApplied(), 1);
    // An acknowledgement would have left as the frame was applied.
    QVERIFY(client_->waitForAllSentBy(*radio_));
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

    client_->send(parameterFrame());
    client_->send(tmx9::readRequest());
    QVERIFY(client_->waitForLines(3));

    // The read answer does not wait behind the acknowledgement.
    QCOMPARE(tmx9::classify(client_->lines().at(0)), tmx9::LineKind::Parameters);
    QCOMPARE(tmx9::classify(client_->lines().at(2)), tmx9::LineKind::WriteAck);
    // Judged where the delay is kept: from the frame's arrival to the acknowledgement's leaving,
    // on the radio's clock.
    const qint64 frameAt = radio_->receivedLines().at(0).timeNs;
    const QVector<TrafficEntry> sent = sentBy(*radio_);
    QVERIFY(!sent.isEmpty() && tmx9::classify(sent.last().bytes) == tmx9::LineKind::WriteAck);
    const qint64 ackAfterNs = sent.last().timeNs - frameAt;
    QVERIFY2(ackAfterNs >= delayMs * kNsPerMs, qPrintable(QString::number(ackAfterNs)));
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

    // The pieces as the radio cut them; their spacing is the transmitter's rule, judged on its
    // own clock in transmitterReleasesOnTime.
    const QByteArray answer = tmx9sim::parameterResponse(radio_->parameterBlock()) +
                              tmx9sim::channelTableResponse(radio_->channelRecords());
    const QVector<TrafficEntry> pieces = sentBy(*radio_);
    QByteArray joined;
    for (const TrafficEntry &piece : pieces) {
        QVERIFY(piece.bytes.size() <= pieceBytes);
        joined += piece.bytes;
    }
    QCOMPARE(pieces.size(),
             (69 + 9 + pieceBytes - 1) / pieceBytes + (140 + 9 + pieceBytes - 1) / pieceBytes);
    QCOMPARE(joined, answer);
    // However they arrive, the pieces join into the two responses.
    QCOMPARE(client_->received(), answer);
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
    QVERIFY(client_->waitForAllSentBy(*radio_));
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
    QVERIFY(client_->waitForLines(1));
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

    const double byteNs = 10.0 * 1e9 / baud;
    const double wireMs = kReadAnswerBytes * byteNs / kNsPerMs;
    const double tookMs = double(client_->lineTimeNs(1) - sent) / kNsPerMs;
    QVERIFY2(tookMs >= wireMs * 0.95,
             qPrintable(QStringLiteral("%1 ms for %2 ms of wire time").arg(tookMs).arg(wireMs)));
    // No piece left before the wire could have carried it, by the radio's record: from the
    // request's arrival, every byte sent so far took its wire time.
    const qint64 requestAt = radio_->receivedLines().at(0).timeNs;
    int bytes = 0;
    for (const TrafficEntry &chunk : sentBy(*radio_)) {
        bytes += chunk.bytes.size();
        const qint64 afterNs = chunk.timeNs - requestAt;
        QVERIFY2(afterNs >= qint64(bytes * byteNs) - 1,
                 qPrintable(QStringLiteral("%1 bytes after %2 ns").arg(bytes).arg(afterNs)));
    }
    QCOMPARE(bytes, kReadAnswerBytes);
}

void TestSimFaults::transmitterReleasesOnTime_data()
{
    QTest::addColumn<tmx9sim::OutputShape>("shape");
    QTest::addColumn<int>("messageBytes");
    QTest::addColumn<ReleaseSchedule>("schedule");

    constexpr qint64 gapNs = 15 * kNsPerMs;
    // The first piece at once, each further one a whole gap after the one before it left.
    QTest::newRow("pieces of 16 bytes, 15 ms apart")
        << tmx9sim::OutputShape{16, 15, 0} << 40
        << ReleaseSchedule{
               {0, 16}, {gapNs - 1, 16}, {gapNs, 32}, {2 * gapNs - 1, 32}, {2 * gapNs, 40}};
    // A byte is on its way only once its tenth bit is: 1041666.7 ns each at 9600 baud.
    QTest::newRow("paced at 9600 baud")
        << tmx9sim::OutputShape{0, 0, 9600} << 3
        << ReleaseSchedule{{0, 0},       {1041666, 0}, {1041667, 1},
                           {2083333, 1}, {2083334, 2}, {3125001, 3}};
    // The gap counts from the end of the piece before, however long its pace took.
    QTest::newRow("paced pieces, 15 ms apart") << tmx9sim::OutputShape{2, 15, 9600} << 4
                                               << ReleaseSchedule{{2083334, 2},
                                                                  {2083334 + gapNs - 1, 2},
                                                                  {2083334 + gapNs, 2},
                                                                  {2083334 + gapNs + 2083334, 4}};
}

void TestSimFaults::transmitterReleasesOnTime()
{
    QFETCH(tmx9sim::OutputShape, shape);
    QFETCH(int, messageBytes);
    QFETCH(ReleaseSchedule, schedule);

    qint64 nowNs = 0;
    int looks = 0;
    tmx9sim::Transmitter transmitter;
    transmitter.setShape(shape);
    transmitter.setClock([&] {
        ++looks;
        return nowNs;
    });
    int released = 0;
    connect(&transmitter, &tmx9sim::Transmitter::chunkReady, this,
            [&](const QByteArray &chunk) { released += chunk.size(); });

    transmitter.send(QByteArray(messageBytes, 'x'), QStringLiteral("message"));
    for (const auto &[timeNs, expected] : schedule) {
        nowNs = timeNs;
        // Its own timer wakes it to look at the clock again; one look is enough to decide.
        const int before = looks;
        QTRY_VERIFY(looks > before || released == messageBytes);
        QVERIFY2(released == expected, qPrintable(QStringLiteral("%1 bytes at %2 ns, not %3")
                                                      .arg(released)
                                                      .arg(timeNs)
                                                      .arg(expected)));
    }
    QVERIFY(transmitter.isIdle());
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
