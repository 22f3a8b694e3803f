#include "linerecorder.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QStringList>

namespace serialports {

namespace {

struct Recording
{
    QMutex mutex;
    bool on = false;
    QElapsedTimer clock;
    QVector<LineEvent> events;
};

Recording &recording()
{
    static Recording current;
    return current;
}

} // namespace

LineRecorder::LineRecorder()
{
    Recording &r = recording();
    const QMutexLocker lock(&r.mutex);
    Q_ASSERT(!r.on); // one at a time
    r.on = true;
    r.events.clear();
    r.clock.start();
}

LineRecorder::~LineRecorder()
{
    Recording &r = recording();
    const QMutexLocker lock(&r.mutex);
    r.on = false;
    r.events.clear();
}

QVector<LineEvent> LineRecorder::events(const QString &port) const
{
    Recording &r = recording();
    const QMutexLocker lock(&r.mutex);
    if (port.isEmpty())
        return r.events;
    QVector<LineEvent> mine;
    for (const LineEvent &event : r.events) {
        if (event.port == port)
            mine << event;
    }
    return mine;
}

void LineRecorder::clear()
{
    Recording &r = recording();
    const QMutexLocker lock(&r.mutex);
    r.events.clear();
}

void LineRecorder::record(LineEvent event)
{
    Recording &r = recording();
    const QMutexLocker lock(&r.mutex);
    if (!r.on)
        return;
    event.atNs = r.clock.nsecsElapsed();
    r.events << event;
}

QVector<LineEvent> LineRecorder::planned(const tmx9::TransmissionPlan &plan)
{
    QVector<LineEvent> events;
    for (const tmx9::PlanStep &step : plan) {
        if (!step.bytes.isEmpty())
            events << LineEvent{LineEvent::Kind::Sent, step.bytes, 0, {}, 0, 0};
        if (step.waitMs > 0)
            events << LineEvent{LineEvent::Kind::Waited, {}, step.waitMs, {}, 0, 0};
    }
    return events;
}

QString LineRecorder::describe(const QVector<LineEvent> &events)
{
    QStringList lines;
    for (const LineEvent &event : events) {
        switch (event.kind) {
        case LineEvent::Kind::Sent:
            lines << QStringLiteral("sent %1").arg(QString::fromLatin1(event.bytes.toHex(' ')));
            break;
        case LineEvent::Kind::Waited:
            lines << QStringLiteral("waited %1 ms").arg(event.ms);
            break;
        case LineEvent::Kind::Awaited:
            lines << QStringLiteral("awaited an answer, at most %1 ms").arg(event.ms);
            break;
        }
        if (event.unsentBytes > 0)
            lines.last() += QStringLiteral(" (%1 bytes not yet out)").arg(event.unsentBytes);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace serialports
