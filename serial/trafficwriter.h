#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMutex>
#include <QString>
#include <functional>

#include "describe.h"

namespace serialports {

// The traffic of serial lines, one text line each, as tmx9ctl's --trace and the window's traffic
// log both keep it (protocol/describe.h): notes, bytes sent, lines received as the receiver took
// them, and received bytes it threw away. Times count from construction or restartClock(). Each
// line goes to the sink at once, so a run that ends badly leaves what happened until then; a sink
// that answers false has failed for good, and nothing more is written. A `tag` names the port on
// each line of a trace that speaks for several. Safe to call from several threads: lines reach the
// sink one at a time, their times in order.
class TrafficWriter
{
public:
    using Sink = std::function<bool(const QString &line)>;

    TrafficWriter();
    TrafficWriter(const TrafficWriter &) = delete;
    TrafficWriter &operator=(const TrafficWriter &) = delete;

    // False without a sink, and once the sink has failed.
    bool isActive() const;

    void note(const QString &text, const QString &tag = {});     // "-- text"
    void sent(const QByteArray &bytes, const QString &tag = {}); // written to the radio
    // A line from the radio, CR LF included.
    void received(const QByteArray &line, const QString &tag = {});
    // Bytes from the radio that never formed a line (empty: nothing is written).
    void discarded(const QByteArray &bytes, const QString &tag = {},
                   const QString &summary = tmx9::discardedSummary());

protected:
    void setSink(Sink sink);
    void restartClock();

private:
    void traffic(tmx9::Direction direction, const QByteArray &bytes, const QString &summary,
                 const QString &tag);
    void put(const QString &line); // with the lock held

    mutable QMutex mutex_;
    QElapsedTimer clock_;
    Sink sink_;
};

} // namespace serialports
