#include "trafficwriter.h"

namespace serialports {

TrafficWriter::TrafficWriter()
{
    clock_.start();
}

bool TrafficWriter::isActive() const
{
    const QMutexLocker lock(&mutex_);
    return bool(sink_);
}

void TrafficWriter::setSink(Sink sink)
{
    const QMutexLocker lock(&mutex_);
    sink_ = std::move(sink);
}

void TrafficWriter::restartClock()
{
    const QMutexLocker lock(&mutex_);
    clock_.restart();
}

void TrafficWriter::note(const QString &text, const QString &tag)
{
    const QMutexLocker lock(&mutex_);
    put(tmx9::formatTraceNote(text, tag));
}

void TrafficWriter::sent(const QByteArray &bytes, const QString &tag)
{
    if (isActive())
        traffic(tmx9::Direction::ToRadio, bytes, tmx9::describeLine(bytes), tag);
}

void TrafficWriter::received(const QByteArray &line, const QString &tag)
{
    if (isActive())
        traffic(tmx9::Direction::FromRadio, line, tmx9::describeLine(line), tag);
}

void TrafficWriter::discarded(const QByteArray &bytes, const QString &tag, const QString &summary)
{
    if (!bytes.isEmpty() && isActive())
        traffic(tmx9::Direction::FromRadio, bytes, summary, tag);
}

void TrafficWriter::traffic(tmx9::Direction direction, const QByteArray &bytes,
                            const QString &summary, const QString &tag)
{
    // Timed under the lock, so that the times in the file never go backwards.
    const QMutexLocker lock(&mutex_);
    if (sink_)
        put(tmx9::tagTraceLine(
            tmx9::formatTraceLine(direction, clock_.nsecsElapsed(), bytes, summary), tag));
}

void TrafficWriter::put(const QString &line)
{
    if (sink_ && !sink_(line))
        sink_ = nullptr;
}

} // namespace serialports
