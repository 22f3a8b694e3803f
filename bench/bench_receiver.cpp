// Throughput of the receiver path: cutting lines, classifying and decoding them.
#include "receiverstream.h"

#include <benchmark/benchmark.h>

namespace {

void receive(benchmark::State &state, const QByteArray &stream, int chunkSize)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::receiveAll(stream, chunkSize));
    state.SetBytesProcessed(state.iterations() * stream.size());
    state.SetComplexityN(stream.size());
}

// Chunks of the size a serial port typically hands over per readyRead.
void BM_MixedStream64ByteChunks(benchmark::State &state)
{
    receive(state, bench::mixedStream(int(state.range(0))), 64);
}

// Everything in one chunk: thousands of lines are cut from one buffer.
void BM_MixedStreamOneChunk(benchmark::State &state)
{
    const QByteArray stream = bench::mixedStream(int(state.range(0)));
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
