// Throughput of the receiver path: cutting lines, classifying and decoding them.
#include "frames.h"
#include "receiver.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QRandomGenerator>

#include <iterator>

using namespace tmx9;

namespace {

QByteArray withChecksum(QByteArray line)
{
    line += char(checksum(line));
    return line + kCrLf;
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

// What a radio on a busy line sends: responses, acknowledgements, replies to text commands,
// stray bytes and lines that are no frame at all.
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

void receive(benchmark::State &state, const QByteArray &stream, int chunkSize)
{
    for (auto _ : state) {
        QByteArray bytes;
        int head = 0;
        int recognised = 0;
        for (int at = 0; at < stream.size(); at += chunkSize) {
            appendReceived(bytes, head, stream.mid(at, chunkSize));
            while (const auto line = takeLine(bytes, head)) {
                switch (classify(*line)) {
                case LineKind::Parameters:
                    recognised += decodeParameters(*line).has_value();
                    break;
                case LineKind::ChannelTable:
                    recognised += decodeChannelTable(*line).size();
                    break;
                case LineKind::WriteAck:
                    ++recognised;
                    break;
                case LineKind::Dropped:
                    break;
                }
            }
            settle(bytes, head);
        }
        benchmark::DoNotOptimize(recognised);
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
    state.SetComplexityN(stream.size());
}

// Chunks of the size a serial port typically hands over per readyRead.
void BM_MixedStream64ByteChunks(benchmark::State &state)
{
    receive(state, mixedStream(int(state.range(0))), 64);
}

// Everything in one chunk: thousands of lines are cut from one buffer.
void BM_MixedStreamOneChunk(benchmark::State &state)
{
    const QByteArray stream = mixedStream(int(state.range(0)));
    receive(state, stream, stream.size());
}

// Noise without any CR LF, a byte at a time: the cap must keep this linear too.
void BM_FloodByteByByte(benchmark::State &state)
{
    QByteArray flood(int(state.range(0)), 'x');
    receive(state, flood, 1);
}

} // namespace

BENCHMARK(BM_MixedStream64ByteChunks)->RangeMultiplier(4)->Range(16 << 10, 1 << 20)->Complexity();
BENCHMARK(BM_MixedStreamOneChunk)->RangeMultiplier(4)->Range(16 << 10, 1 << 20)->Complexity();
BENCHMARK(BM_FloodByteByByte)->RangeMultiplier(4)->Range(16 << 10, 1 << 20)->Complexity();

BENCHMARK_MAIN();
