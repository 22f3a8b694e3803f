#pragma once

#include <QFile>
#include <ctime>

// Clocks and memory figures of a process, for the benchmarks and for the tests that judge CPU time
// and memory growth. Linux only.
namespace measure {

// CLOCK_MONOTONIC: the same clock in every process, so a child can report a moment that the
// parent compares with its own.
inline qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// CPU time of this process, user and system, in milliseconds.
inline double processCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Peak resident memory of this process (VmHWM), in KiB; -1 when unknown.
inline qint64 peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace measure
