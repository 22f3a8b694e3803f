#include "frames.h"
#include "receiver.h"

#include <QtTest>

#include <initializer_list>
#include <utility>

using namespace tmx9;

Q_DECLARE_METATYPE(tmx9::LineKind)

namespace {

QByteArray response(int length, std::initializer_list<std::pair<int, unsigned char>> registers)
{
    QByteArray body(length, '\0');
    for (const auto &[reg, value] : registers) {
        if (reg < length) // registers from N on are not sent
            body[reg] = static_cast<char>(value);
    }
    QByteArray line = QByteArray("$$RI\xB1") + char(length) + body;
    return line + char(checksum(line));
}

QByteArray channelResponse(const QByteArray &records)
{
    QByteArray line = QByteArray("$$RI\xB1\x8C", 6) + records.leftJustified(140, '\xFF');
    return line + char(checksum(line));
}

QByteArray validRecords(int count)
{
    QByteArray records;
    for (int i = 0; i < count; ++i)
        records += QByteArray::number(4000000 + i * 10000);
    return records;
}

// Modulation, protocol, air baud, work mode, power, serial baud, repeater, channel, SN, firmware.
QString summary(const ParameterReport &r)
{
    const auto show = [](const std::optional<QString> &text) { return text.value_or("-"); };
    return QStringList{show(r.modulation), show(r.protocol),   show(r.airBaud),  show(r.workMode),
                       show(r.power),      show(r.serialBaud), show(r.repeater), r.channel,
                       r.serialNumber,     r.firmware}
        .join('|');
}

struct Received
{
    QByteArrayList lines;
    QByteArray rest; // received bytes still waiting for a line end
    int largestPending = 0;
    int discarded = 0; // bytes the receiver reported thrown away
};

Received feed(const QByteArrayList &chunks)
{
    Received received;
    QByteArray bytes;
    int head = 0;
    for (const QByteArray &chunk : chunks) {
        QByteArray discarded;
        appendReceived(bytes, head, chunk, &discarded);
        received.discarded += discarded.size();
        while (const auto line = takeLine(bytes, head))
            received.lines << *line;
        settle(bytes, head);
        // A final CR waits for its LF and is no content.
        const int pending = bytes.size() - (bytes.endsWith('\r') ? 1 : 0);
        received.largestPending = std::max(received.largestPending, pending);
    }
    received.rest = dropUnterminated(bytes, head);
    return received;
}

} // namespace

class ReceiverTest : public QObject
{
    Q_OBJECT

private slots:
    void classifyLines_data();
    void classifyLines();
    void parameterResponses_data();
    void parameterResponses();
    void channelTables_data();
    void channelTables();
    void lineCutting_data();
    void lineCutting();
    void floodIsCapped_data();
    void floodIsCapped();
    void crLfInsideBody();
    void takeLineClampsHead();
};

void ReceiverTest::classifyLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<LineKind>("kind");

    const QByteArray params = response(69, {});
    const QByteArray table = channelResponse(validRecords(20));
    QTest::addRow("parameter response") << params << LineKind::Parameters;
    QTest::addRow("channel table response") << table << LineKind::ChannelTable;
    QTest::addRow("length byte 8C wins") << response(0x8C, {}) << LineKind::ChannelTable;
    QTest::addRow("table not at start") << "x" + table << LineKind::Dropped;
    QTest::addRow("table not at start, with $$RJ") << "x" + table + "$$RJ" << LineKind::Dropped;
    QTest::addRow("parameters with $$RJ") << params + "$$RJ" << LineKind::Parameters;
    QTest::addRow("parameters not at start, with $$RJ") << "x$$RJ" + params << LineKind::Dropped;
    QTest::addRow("own read request echoed") << readRequest().chopped(2) << LineKind::Dropped;
    QTest::addRow("own write frame echoed")
        << buildWriteFrame(0x07, "0").chopped(2) << LineKind::WriteAck;
    QTest::addRow("ack anywhere") << QByteArray("noise$$RJ") << LineKind::WriteAck;
    QTest::addRow("text command reply") << QByteArray("$$01SET LORA OK") << LineKind::Dropped;
    QTest::addRow("empty") << QByteArray() << LineKind::Dropped;
}

void ReceiverTest::classifyLines()
{
    QFETCH(QByteArray, line);
    QFETCH(LineKind, kind);
    QCOMPARE(classify(line), kind);
}

void ReceiverTest::parameterResponses_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");

    QTest::addRow("N=68 is LORA, register 65 ignored, 6000 unknown")
        << response(68, {{65, 0x31}, {16, 0x40}, {8, 0x32}}) << "LORA|TT450S|-|-|L|-|disable|||";
    QTest::addRow("N=68 knows 18000")
        << response(68, {{16, 0x34}}) << "LORA|-|18000|-|L|-|disable|||";
    QTest::addRow("N=69 FSK: protocol and register 66")
        << response(69, {{65, 0x31}, {66, 0x31}, {8, 0x34}, {16, 0x23}})
        << "FSK|South|19200|-|L|-|disable|||";
    QTest::addRow("N=69 LORA knows 6000")
        << response(69, {{65, 0x30}, {16, 0x40}, {8, 0x31}}) << "LORA|MAC|6000|-|L|-|disable|||";
    QTest::addRow("N=69 unknown modulation")
        << response(69, {{65, 0x32}, {16, 0x31}, {8, 0x33}}) << "-|-|-|-|L|-|disable|||";
    QTest::addRow("codes outside the tables")
        << response(69, {{65, 0x30}, {7, 0x32}, {14, 0x80}, {15, 0x34}, {17, 0x02}})
        << "LORA|-|-|-|H|-|-|||";
    QTest::addRow("every setting")
        << response(69, {{65, 0x30}, {7, 0x31}, {8, 0x33}, {13, '7'}, {14, 0xFF}, {15, 0x35}})
        << "LORA|Transparent|-|RX|H|115200|disable|7||";
    QTest::addRow("firmware ends at a zero byte")
        << response(69, {{60, 'V'}, {61, '2'}, {62, 0}, {63, 'x'}, {65, 0x31}, {66, 0x30}})
        << "FSK|-|9600|-|L|-|disable|||V2";
    QTest::addRow("UTF-8 serial number")
        << response(60, {{35, 0xC3}, {36, 0xA9}, {37, 'e'}}) << "LORA|-|-|-|L|-|disable||ée|";
    QTest::addRow("N=30: no text registers, 7-17 decoded")
        << response(30, {{7, 0x30}, {13, '3'}, {15, 0x33}, {17, 0x01}})
        << "LORA|-|-|TX|L|38400|enable|3||";
    QTest::addRow("N=38: serial number cut at N")
        << response(38, {{35, 'A'}, {36, 'B'}, {37, 'C'}, {38, 'D'}, {39, 'E'}})
        << "LORA|-|-|-|L|-|disable||ABC|";
    QTest::addRow("N=15: registers from 15 on count as zero")
        << response(15, {{7, 0x31}, {14, 0x01}}) << "LORA|-|-|RX|H|-|disable|||";
    // Too short for the length byte: nothing is shown.
    QTest::addRow("N=69, checksum missing") << response(69, {{65, 0x31}}).chopped(1) << QString();
    QTest::addRow("N=255 complete") << response(255, {{65, 0x30}}) << "LORA|-|-|-|L|-|disable|||";
    QTest::addRow("N=0 complete") << response(0, {}) << "LORA|-|-|-|L|-|disable|||";
    QTest::addRow("N=0, checksum missing") << response(0, {}).chopped(1) << QString();
    QTest::addRow("no length byte") << QByteArray("$$RI\xB1") << QString();
}

void ReceiverTest::parameterResponses()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    QCOMPARE(classify(line), LineKind::Parameters);
    const auto report = decodeParameters(line);
    QCOMPARE(report ? summary(*report) : QString(), expected);
}

void ReceiverTest::channelTables_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("frequencies");

    QStringList twenty;
    for (int i = 0; i < 20; ++i)
        twenty << QString::number(400 + i, 'f', 4);
    QTest::addRow("twenty records, checksum no record")
        << channelResponse(validRecords(20)) << twenty;
    QTest::addRow("FF record stops")
        << channelResponse(validRecords(2) + QByteArray(7, '\xFF') + validRecords(3))
        << QStringList{"400.0000", "401.0000"};
    QTest::addRow("500.0000 is a frequency")
        << channelResponse("5000000" + validRecords(1)) << QStringList{"500.0000", "400.0000"};
    QTest::addRow("record without 2 3 4 8 9 stops")
        << channelResponse("1000000" + validRecords(1)) << QStringList{};
    QTest::addRow("unparsable record skipped")
        << channelResponse("45x0500" + validRecords(1)) << QStringList{"400.0000"};
    QTest::addRow("inf is no frequency") << channelResponse(QByteArray("inf\0"
                                                                       "234",
                                                                       7) +
                                                            validRecords(1))
                                         << QStringList{"400.0000"};
    QTest::addRow("partial record ignored")
        << QByteArray("$$RI\xB1\x8C", 6) + validRecords(1) + "454050" << QStringList{"400.0000"};
}

void ReceiverTest::channelTables()
{
    QFETCH(QByteArray, line);
    QFETCH(QStringList, frequencies);
    QCOMPARE(decodeChannelTable(line), frequencies);
}

void ReceiverTest::lineCutting_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArray>("rest");

    QTest::addRow("fragments") << QByteArrayList{"$$R", "J\x01", "\r", "\nnext"}
                               << QByteArrayList{"$$RJ\x01"} << QByteArray("next");
    QTest::addRow("lone CR and LF stay in the line")
        << QByteArrayList{"a\rb\nc\r\n"} << QByteArrayList{"a\rb\nc"} << QByteArray();
    QTest::addRow("empty lines") << QByteArrayList{"\r\n\r\n"} << QByteArrayList{"", ""}
                                 << QByteArray();

    QByteArray burst;
    QByteArrayList burstLines;
    for (int i = 0; i < 500; ++i) {
        burstLines << "line " + QByteArray::number(i);
        burst += burstLines.last() + "\r\n";
    }
    QTest::addRow("500 lines in one chunk") << QByteArrayList{burst} << burstLines << QByteArray();

    const QByteArray table = channelResponse(validRecords(20));
    QByteArrayList pieces;
    for (int at = 0; at < table.size(); at += 5)
        pieces << table.mid(at, 5);
    QTest::addRow("channel table in 5-byte pieces")
        << pieces + QByteArrayList{"\r\n"} << QByteArrayList{table} << QByteArray();

    // What waits when the port closes is what was received: not the stand-in of the discard.
    QTest::addRow("unterminated after a flood")
        << QByteArrayList{QByteArray(kMaxPendingBytes + 10, 'y'), "tail"} << QByteArrayList{}
        << QByteArray("tail");

    const QByteArray longLine(600, 'x');
    QTest::addRow("600-byte line") << QByteArrayList{longLine.left(300), longLine.mid(300) + "\r\n"}
                                   << QByteArrayList{longLine} << QByteArray();

    // Around the cap, cut before the CR, between CR and LF, and after the LF. A line that fits
    // the cap survives any cut; a longer one survives only when it arrives whole.
    const std::pair<const char *, int> cuts[] = {
        {"before CR", 0}, {"between CR and LF", 1}, {"after LF", 2}};
    for (const int size : {kMaxPendingBytes - 1, kMaxPendingBytes, kMaxPendingBytes + 1}) {
        const QByteArray line(size, 'x');
        const QByteArray stream = line + "\r\nnext\r\n";
        for (const auto &[where, offset] : cuts) {
            const bool survives = size <= kMaxPendingBytes || offset == 2;
            QTest::addRow("%d-byte line, cut %s", size, where)
                << QByteArrayList{stream.left(size + offset), stream.mid(size + offset)}
                << QByteArrayList{survives ? line : QByteArray(1, '\0'), "next"} << QByteArray();
        }
    }
}

void ReceiverTest::lineCutting()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArray, rest);

    const Received received = feed(chunks);
    QCOMPARE(received.lines, lines);
    QCOMPARE(received.rest, rest);
    QVERIFY(received.largestPending <= kMaxPendingBytes);
}

void ReceiverTest::floodIsCapped_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QList<LineKind>>("kinds");
    QTest::addColumn<int>("discarded"); // as reported, for the traffic log

    // A discarded flood must not let the rest of its line pass for a response.
    const QByteArray params = response(69, {{65, 0x31}});
    const QByteArray twoResponses = params + "\r\n" + params + "\r\n";
    QTest::addRow("flood, then responses")
        << QByteArrayList{QByteArray(10000, 'x'), twoResponses}
        << QList<LineKind>{LineKind::Dropped, LineKind::Parameters} << 10000;
    QByteArrayList trickle;
    for (int i = 0; i < 3000; ++i)
        trickle << "abc";
    // Two discards of 1366 chunks each (the second not counting the stand-in of the first); the
    // last 268 chunks begin the line that the responses end.
    QTest::addRow("flood in small chunks, then responses")
        << trickle + QByteArrayList{twoResponses}
        << QList<LineKind>{LineKind::Dropped, LineKind::Parameters} << 2 * 1366 * 3;
    QTest::addRow("flood of '$', then responses")
        << QByteArrayList{QByteArray(5000, '$'), twoResponses}
        << QList<LineKind>{LineKind::Dropped, LineKind::Parameters} << 5000;
    // The LF of the flood's CR LF arrives with the next chunk.
    QTest::addRow("flood ending in CR")
        << QByteArrayList{QByteArray(10000, 'x') + "\r", "\n" + twoResponses}
        << QList<LineKind>{LineKind::Dropped, LineKind::Parameters, LineKind::Parameters} << 10000;
}

void ReceiverTest::floodIsCapped()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QList<LineKind>, kinds);
    QFETCH(int, discarded);

    const Received received = feed(chunks);
    QList<LineKind> got;
    for (const QByteArray &line : received.lines)
        got << classify(line);
    QCOMPARE(got, kinds);
    QVERIFY(received.largestPending <= kMaxPendingBytes);
    QCOMPARE(received.discarded, discarded);
}

// The radio has no escaping: a CR LF in a body ends the line there.
void ReceiverTest::crLfInsideBody()
{
    const QByteArray params = response(69, {{20, '\r'}, {21, '\n'}, {65, 0x31}});
    const QByteArray table = channelResponse(validRecords(2) + "\r\n" + validRecords(5));
    const Received received = feed({params + "\r\n" + table + "\r\n"});

    QCOMPARE(received.lines.size(), 4);
    QCOMPARE(classify(received.lines[0]), LineKind::Parameters);
    QVERIFY(!decodeParameters(received.lines[0]));
    QCOMPARE(classify(received.lines[1]), LineKind::Dropped);
    QCOMPARE(decodeChannelTable(received.lines[2]), (QStringList{"400.0000", "401.0000"}));
    QCOMPARE(classify(received.lines[3]), LineKind::Dropped);
}

void ReceiverTest::takeLineClampsHead()
{
    const QByteArray bytes("ab\r\ncd");
    int head = -5;
    QCOMPARE(takeLine(bytes, head), std::optional<QByteArray>("ab"));
    QCOMPARE(head, 4);
    head = 1000;
    QVERIFY(!takeLine(bytes, head));
    QByteArray copy = bytes;
    settle(copy, head);
    QCOMPARE(head, 0);
    QVERIFY(copy.isEmpty());
}

QTEST_APPLESS_MAIN(ReceiverTest)
#include "tst_receiver.moc"
