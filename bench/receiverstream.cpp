#include "receiverstream.h"

#include "frames.h"
#include "receiver.h"

#include <QRandomGenerator>

#include <iterator>

namespace bench {

namespace {

QByteArray withChecksum(QByteArray line)
{
    line += char(tmx9::checksum(line));
    return line + tmx9::kCrLf;
}

QByteArray parameterResponse(int length, unsigned char modulation)
{
    QByteArray body(length, '\0');
    body[7] = '\x31';
    body[8] = '\x34';
    body[13] = '7';
    body[15] = '\x35';
    body[16] = '\x23';
    for (int reg = 35; reg < 41; ++reg)
        body[reg] = 'S';
    for (int reg = 60; reg < 64 && reg < length; ++reg)
        body[reg] = 'V';
    if (length > 65)
        body[65] = char(modulation);
    return withChecksum(QByteArray("$$RI\xB1") + char(length) + body);
}

QByteArray channelResponse()
{
    QByteArray records;
    for (int k = 0; k < 20; ++k)
        records += QByteArray::number(4540500 + 10000 * k);
    return withChecksum(QByteArray("$$RI\xB1\x8C", 6) + records);
}

} // namespace

QByteArray mixedStream(int size)
{
    QRandomGenerator random(42);
    const QByteArray pieces[] = {
        parameterResponse(69, 0x31),
        parameterResponse(68, 0x30),
        channelResponse(),
        QByteArray("$$RJ\xB1\x00\xA9\r\n", 9),
        QByteArray("$$01SET LORA OK\r\n"),
        QByteArray("RADIOINFO FW 1.3 SN 0042 RSSI -87\r\n"),
    };
    QByteArray stream;
    stream.reserve(size + 512);
    while (stream.size() < size) {
        if (random.bounded(8) == 0) { // noise, possibly with a CR LF of its own
            QByteArray noise(random.bounded(1, 40), '\0');
            for (char &byte : noise)
                byte = char(random.bounded(256));
            stream += noise;
        } else {
            stream += pieces[random.bounded(int(std::size(pieces)))];
        }
    }
    stream.truncate(size);
    return stream;
}

int receiveAll(const QByteArray &stream, int chunkSize)
{
    QByteArray bytes;
    int head = 0;
    int recognised = 0;
    for (int at = 0; at < stream.size(); at += chunkSize) {
        tmx9::appendReceived(bytes, head, stream.mid(at, chunkSize));
        while (const auto line = tmx9::takeLine(bytes, head)) {
            switch (tmx9::classify(*line)) {
            case tmx9::LineKind::Parameters:
                recognised += tmx9::decodeParameters(*line).has_value();
                break;
            case tmx9::LineKind::ChannelTable:
                recognised += tmx9::decodeChannelTable(*line).size();
                break;
            case tmx9::LineKind::WriteAck:
                ++recognised;
                break;
            case tmx9::LineKind::Dropped:
                break;
            }
        }
        tmx9::settle(bytes, head);
    }
    return recognised;
}

} // namespace bench
